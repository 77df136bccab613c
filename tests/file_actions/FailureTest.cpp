// What a failure carries and what the user reads of it.
#include "file_actions/Failure.h"

#include "QuorvantaCore/lang/Lang.h"
#include "QuorvantaCore/lang/Tr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvanta::FileActions {
namespace {

TEST(FileActionsFailure, EachCaseCarriesItsTextAndDescribesItself) {
    core::Lang::shared().setChoice("en");
    struct Case {
        Failure failure;
        Failure::Case expectedCase;
        std::string printed;
        std::string description;
    };
    const Case cases[] = {
        {Failure::missing("/home/me/gone.txt"), Failure::Case::missing, R"(missing("/home/me/gone.txt"))",
         "“gone.txt” no longer exists."},
        {Failure::protected_("/home/me/Music"), Failure::Case::protected_, R"(protected("/home/me/Music"))",
         "“Music” is a protected folder (drive, user, application or system folder) and is never changed by "
         "Quorvanta."},
        {Failure::invalidName("The name cannot be empty."), Failure::Case::invalidName,
         R"(invalidName("The name cannot be empty."))", "The name cannot be empty."},
        {Failure::exists("b.txt"), Failure::Case::exists, R"(exists("b.txt"))",
         "There is already something named “b.txt” here."},
        {Failure::noTrash("/mnt/share/x/"), Failure::Case::noTrash, R"(noTrash("/mnt/share/x/"))",
         "There is no Trash for “x” (e.g. a network or read-only drive)."},
        {Failure::system("Cannot rename: Permission denied."), Failure::Case::system,
         R"(system("Cannot rename: Permission denied."))", "Cannot rename: Permission denied."},
        // The last component of the top folder is the top folder; of nothing, nothing.
        {Failure::protected_("/"), Failure::Case::protected_, R"(protected("/"))",
         "“/” is a protected folder (drive, user, application or system folder) and is never changed by Quorvanta."},
        {Failure::missing(""), Failure::Case::missing, R"(missing(""))", "“” no longer exists."},
        {Failure::system(""), Failure::Case::system, R"(system(""))", R"(system(""))"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.failure.errorCase(), c.expectedCase) << c.printed;
        EXPECT_EQ(c.failure.what(), c.printed);
        EXPECT_EQ(c.failure.description(), c.description) << c.printed;
    }
}

TEST(FileActionsFailure, CasesComeInOrderAndCompareByCaseAndText) {
    const std::vector<Failure::Case> order{Failure::Case::missing,     Failure::Case::protected_,
                                           Failure::Case::invalidName, Failure::Case::exists,
                                           Failure::Case::noTrash,     Failure::Case::system};
    for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(static_cast<std::size_t>(order[i]), i);

    EXPECT_EQ(Failure::missing("/a"), Failure::missing("/a"));
    EXPECT_NE(Failure::missing("/a"), Failure::missing("/b"));
    EXPECT_NE(Failure::missing("/a"), Failure::noTrash("/a"));
    EXPECT_NE(Failure::invalidName("x"), Failure::system("x"));
}

TEST(FileActionsFailure, MessagesAreLocalisedWhenMadePathsWhenShown) {
    core::Lang::shared().setChoice("de");
    const Failure made = Failure::invalidName(core::tr("The name cannot be empty."));
    const Failure missing = Failure::missing("/x/gone.txt");
    EXPECT_EQ(missing.description(), "„gone.txt“ existiert nicht mehr.");
    core::Lang::shared().setChoice("en");
    EXPECT_EQ(made.description(), "Der Name darf nicht leer sein.");
    EXPECT_EQ(missing.description(), "“gone.txt” no longer exists.");
}

}  // namespace
}  // namespace quorvanta::FileActions
