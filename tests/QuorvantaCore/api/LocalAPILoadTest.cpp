#include "QuorvantaCore/api/LocalAPIServer.h"
#include "bench/LocalAPILoad.h"
#include "tests/QuorvantaCore/api/SocketTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace quorvanta::core {
namespace {

// A short run of the load benchmark's driver: every reply right, a lone client never refused,
// and nothing left active afterwards.
TEST(LocalAPILoad, ShortRunsAreAnsweredCorrectly) {
    test::TempDir dir;
    const std::string path = dir / "api.sock";
    LocalAPI::Backend backend;
    backend.volumes = [] { return std::vector<LocalAPI::Volume>{{"V", "/v", 3, false, false}}; };
    backend.search = [](const Query&, std::int64_t) { return LocalAPI::SearchResult{}; };
    LocalAPIServer server(path, backend);
    server.start();
    const std::string expected =
        R"({"entries":3,"ok":true,"volumes":[{"entries":3,"name":"V","offline":false,"root":"/v","scanning":false}]})";
    for (int clients : {1, 8, 16}) {
        const bench::LoadResult result =
            bench::runLoad(path, R"({"op":"status"})", clients, 200, std::chrono::minutes(2),
                           [&](const std::string& reply) { return reply == expected; });
        EXPECT_EQ(result.attempts(), 200) << clients << " clients";
        EXPECT_EQ(result.wrong, 0) << clients << " clients";
        // A client sees its reply before the server has released the slot, so back-to-back
        // requests may be refused even at 8 clients; a single client never is.
        if (clients == 1) {
            EXPECT_EQ(result.refused, 0);
        }
        EXPECT_GT(result.answered, 0) << clients << " clients";
        EXPECT_TRUE(test::eventually([&] { return server.active() == 0; })) << clients << " clients";
    }
}

}  // namespace
}  // namespace quorvanta::core
