#include "QuorvantaApp/model/search/GlobalOrder.h"

#include "QuorvantaApp/model/search/GlobalOrderFormat.h"
#include "QuorvantaCore/index/CatalogFiles.h"
#include "QuorvantaCore/index/VolumeID.h"
#include "QuorvantaCore/index/VolumeIndex.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace quorvanta::app {
namespace {

namespace file = global_order_file;

void unmap(const GlobalOrder::Mapping& m) {
    if (m.base) munmap(const_cast<unsigned char*>(m.base), m.bytes);
}

// The whole regular file at `path`, mapped read-only and private; none (a null base) when it is
// missing, not a regular file, shorter than the header or cannot be mapped.
GlobalOrder::Mapping mapFile(const std::filesystem::path& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat st {};
    GlobalOrder::Mapping m;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= static_cast<off_t>(file::kRowsOffset)) {
        const auto bytes = static_cast<std::size_t>(st.st_size);
        void* base = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE, fd, 0);
        if (base != MAP_FAILED) m = {static_cast<const unsigned char*>(base), bytes};
    }
    close(fd);
    return m;
}

// The file image of an order: header, zero padding, rows.
std::string fileImage(const std::vector<std::uint64_t>& storeIDs, const std::vector<std::uint64_t>& ks,
                      std::span<const RowKey> rows) {
    std::string image(file::kRowsOffset + rows.size() * file::kRowBytes, '\0');
    auto* bytes = reinterpret_cast<unsigned char*>(image.data());
    std::memcpy(bytes + file::kMagicOffset, file::kMagic, sizeof file::kMagic);
    file::putLE64(bytes + file::kVolumeCountOffset, storeIDs.size());
    for (std::size_t i = 0; i < storeIDs.size(); ++i) {
        file::putLE64(bytes + file::storeIDOffset(i), storeIDs[i]);
        file::putLE64(bytes + file::coveredOffset(i), ks[i]);
    }
    if (!rows.empty()) std::memcpy(bytes + file::kRowsOffset, rows.data(), rows.size_bytes());
    return image;
}

}  // namespace

GlobalOrder::GlobalOrder(Passkey, std::vector<std::uint64_t> storeIDs, std::vector<std::uint64_t> ks,
                         std::vector<RowKey> array)
    : storeIDs_(std::move(storeIDs)), ks_(std::move(ks)), array_(std::move(array)) {}

GlobalOrder::GlobalOrder(Passkey, std::vector<std::uint64_t> storeIDs, std::vector<std::uint64_t> ks, Mapping data)
    : storeIDs_(std::move(storeIDs)), ks_(std::move(ks)), data_(data) {}

GlobalOrder::~GlobalOrder() { unmap(data_); }

std::shared_ptr<const GlobalOrder> GlobalOrder::build(IndexList indexes) {
    std::vector<core::PermRef> perms;  // keeps the permutations alive while they are merged
    std::vector<std::span<const std::uint32_t>> lists;
    std::vector<std::uint64_t> storeIDs;
    std::vector<std::uint64_t> ks;
    std::size_t total = 0;
    for (const std::shared_ptr<core::VolumeIndex>& index : indexes) {
        auto [perm, covered] = index->permutationAndCount(core::SortKey::name);
        lists.emplace_back(perm->base(), perm->count());
        total += perm->count();
        perms.push_back(std::move(perm));
        storeIDs.push_back(index->storeID());
        ks.push_back(covered);
    }
    std::vector<RowKey> rows;
    rows.reserve(total);
    mergeOrdered(rows, lists, indexes, core::SortKey::name, false);
    return std::make_shared<const GlobalOrder>(Passkey{}, std::move(storeIDs), std::move(ks), std::move(rows));
}

std::shared_ptr<const GlobalOrder> GlobalOrder::persisted() const {
    const std::filesystem::path path = defaultPath();
    if (path.empty()) return shared_from_this();
    return persisted(path);
}

std::shared_ptr<const GlobalOrder> GlobalOrder::persisted(const std::filesystem::path& path) const {
    // A file the reader would refuse is not written: it would only be replaced at every start.
    if (isFileBacked() || storeIDs_.size() < file::kMinReadVolumes || storeIDs_.size() > file::kMaxReadVolumes)
        return shared_from_this();
    const std::string image = fileImage(storeIDs_, ks_, array_);
    if (!core::writeCache(image, path.string())) return shared_from_this();
    const Mapping mapped = mapFile(path);
    // Another writer may have replaced the file in between: only our own bytes are taken.
    if (!mapped.base || mapped.bytes != image.size() ||
        std::memcmp(mapped.base, image.data(), file::kRowsOffset) != 0) {
        unmap(mapped);
        return shared_from_this();
    }
    return std::make_shared<const GlobalOrder>(Passkey{}, storeIDs_, ks_, mapped);
}

std::shared_ptr<const GlobalOrder> GlobalOrder::load() {
    const std::filesystem::path path = defaultPath();
    if (path.empty()) return nullptr;
    return load(path);
}

std::shared_ptr<const GlobalOrder> GlobalOrder::load(const std::filesystem::path& path) {
    const Mapping m = mapFile(path);
    if (!m.base) return nullptr;
    const auto refuse = [&m] {
        unmap(m);
        return nullptr;
    };
    if (m.bytes % file::kRowBytes != 0 || std::memcmp(m.base + file::kMagicOffset, file::kMagic, 8) != 0)
        return refuse();
    const std::uint64_t n = file::getLE64(m.base + file::kVolumeCountOffset);
    if (n < file::kMinReadVolumes || n > file::kMaxReadVolumes) return refuse();
    std::vector<std::uint64_t> storeIDs(n);
    std::vector<std::uint64_t> ks(n);
    std::uint64_t covered = 0;  // at most 63 x 2^32: no overflow
    for (std::size_t i = 0; i < n; ++i) {
        storeIDs[i] = file::getLE64(m.base + file::storeIDOffset(i));
        ks[i] = file::getLE64(m.base + file::coveredOffset(i));
        if (ks[i] > file::kMaxCovered) return refuse();
        covered += ks[i];
    }
    if ((m.bytes - file::kRowsOffset) / file::kRowBytes > covered) return refuse();
    return std::make_shared<const GlobalOrder>(Passkey{}, std::move(storeIDs), std::move(ks), m);
}

std::filesystem::path GlobalOrder::defaultPath() {
    const std::filesystem::path dir = core::VolumeID::directory();
    if (dir.empty()) return {};
    return dir / file::kFileName;
}

bool GlobalOrder::matches(IndexList indexes) const {
    if (indexes.size() != storeIDs_.size()) return false;
    for (std::size_t i = 0; i < indexes.size(); ++i)
        if (indexes[i]->storeID() != storeIDs_[i] || indexes[i]->count() < ks_[i]) return false;
    return true;
}

std::uint64_t GlobalOrder::tail(IndexList indexes) const {
    std::uint64_t uncovered = 0;
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        const std::uint64_t count = indexes[i]->count();
        const std::uint64_t covered = i < ks_.size() ? ks_[i] : 0;
        if (count > covered) uncovered += count - covered;
    }
    return uncovered;
}

std::span<const RowKey> GlobalOrder::rows() const {
    if (!data_.base) return array_;
    return {reinterpret_cast<const RowKey*>(data_.base + file::kRowsOffset),
            (data_.bytes - file::kRowsOffset) / file::kRowBytes};
}

}  // namespace quorvanta::app
