#include "QuorvantaApp/Widgets/LangRoot.h"

#include "QuorvantaApp/ResultsTable/FileType.h"
#include "QuorvantaApp/Widgets/InterfaceLocale.h"
#include "QuorvantaApp/shell/QtMainQueue.h"
#include "platform/settings/Settings.h"
#include "tests/support/qt/PostedEvents.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using test::runPostedEvents;

// A language object over its own settings and notification centre, reading the build's
// translations, with the main queue on the Qt event loop.
struct Harness {
    platform::MemorySettings settings;
    platform::NotificationCenter notifications;
    QtMainQueue mainQueue;
    std::unique_ptr<core::Lang> lang;

    explicit Harness(const std::string& choice = "en", core::LanguageEnvironment environment = {}) {
        settings.setText(core::Lang::defaultsKey, choice);
        lang = std::make_unique<core::Lang>(
            core::Lang::Setup{settings, notifications, core::Lang::defaultFolder(), std::move(environment)});
    }

    LangRoot::Setup setup() { return {*lang, notifications, mainQueue}; }
};

// A factory that counts its runs and builds a label with one translated text.
struct CountingFactory {
    core::Lang& lang;
    int runs = 0;

    LangRoot::Factory factory() {
        return [this] {
            ++runs;
            return std::make_unique<QLabel>(QString::fromStdString(lang.tr("Folders")));
        };
    }
};

QString textOf(const LangRoot& root) { return static_cast<QLabel*>(root.content())->text(); }

TEST(LangRoot, BuildsOnceAndAgainInTheNewLanguage) {
    Harness harness;
    CountingFactory content{*harness.lang};
    LangRoot root(harness.setup(), content.factory());
    EXPECT_EQ(content.runs, 1);
    EXPECT_EQ(textOf(root), QStringLiteral("Folders"));
    EXPECT_EQ(root.content()->locale(), QLocale(QStringLiteral("en")));
    const QPointer<QWidget> old = root.content();

    harness.lang->setChoice("de");
    EXPECT_EQ(content.runs, 1) << "rebuilt before the language was resolved and announced";
    runPostedEvents();
    EXPECT_EQ(content.runs, 2);
    EXPECT_EQ(textOf(root), QStringLiteral("Ordner"));
    EXPECT_EQ(root.content()->locale(), QLocale(QStringLiteral("de")));
    EXPECT_EQ(root.content()->parentWidget(), &root);
    EXPECT_TRUE(old.isNull()) << "the old tree is deleted";
}

TEST(LangRoot, RebuildsOnceForTheLastOfSeveralChangesAndNotForTheSameChoice) {
    const struct {
        std::vector<std::string> choices;
        int runs;
        const char* text;
    } cases[] = {
        {{"en"}, 1, "Folders"},         // the same choice
        {{"de", "fr"}, 2, "Dossiers"},  // two changes in one turn: one rebuild, for the last
        {{"de", "en"}, 1, "Folders"},   // and back: the content is already in that language
        {{"de", "ja", "fr", "de"}, 2, "Ordner"},
    };
    for (const auto& c : cases) {
        Harness harness;
        CountingFactory content{*harness.lang};
        LangRoot root(harness.setup(), content.factory());
        for (const auto& choice : c.choices) harness.lang->setChoice(choice);
        runPostedEvents();
        EXPECT_EQ(content.runs, c.runs) << c.text;
        EXPECT_EQ(textOf(root), QString::fromUtf8(c.text));
    }
}

TEST(LangRoot, AWidgetThatChangesTheLanguageOutlivesItsOwnSignal) {
    Harness harness;
    // The settings window's language picker, inside the root it makes rebuild.
    QPointer<QComboBox> picker;
    std::vector<QString> seenInHandler;
    LangRoot root(harness.setup(), [&] {
        auto box = std::make_unique<QComboBox>();
        box->addItems({QStringLiteral("en"), QStringLiteral("de")});
        QObject::connect(box.get(), &QComboBox::currentTextChanged, [&, self = box.get()](const QString& code) {
            harness.lang->setChoice(code.toStdString());
            // Still running inside the picker's signal: the picker must be alive.
            seenInHandler.push_back(self->currentText());
        });
        picker = box.get();
        return box;
    });
    root.show();
    const QPointer<QComboBox> first = picker;
    first->setCurrentIndex(1);
    ASSERT_EQ(seenInHandler, std::vector<QString>{QStringLiteral("de")});
    EXPECT_FALSE(first.isNull()) << "deleted while its signal ran";
    runPostedEvents();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(harness.lang->choice(), "de");
    EXPECT_NE(picker, first) << "a new picker was built";
}

TEST(LangRoot, OpenPopupOfTheOldContentCloses) {
    Harness harness;
    QPointer<QWidget> popup;
    LangRoot root(harness.setup(), [&] {
        auto content = std::make_unique<QWidget>();
        auto* button = new QLabel(QStringLiteral("history"), content.get());
        popup = new QWidget(button, Qt::Popup);  // a window of its own, parented inside the tree
        popup->resize(100, 80);
        return content;
    });
    root.show();
    popup->show();
    ASSERT_TRUE(popup->isVisible());
    const QPointer<QWidget> open = popup;

    harness.lang->setChoice("de");
    QCoreApplication::sendPostedEvents();  // the rebuild, not yet the deletion
    ASSERT_FALSE(open.isNull());
    EXPECT_FALSE(open->isVisible()) << "closed at the rebuild";
    runPostedEvents();
    EXPECT_TRUE(open.isNull()) << "deleted with its tree";
    EXPECT_FALSE(popup->isVisible()) << "the new tree's popup stays closed until opened";
}

TEST(LangRoot, ModelStateShownByTheContentSurvivesTheRebuild) {
    Harness harness;
    struct {
        QString query;
    } model;  // lives outside the widget tree, as the application model does
    LangRoot root(harness.setup(), [&] {
        auto field = std::make_unique<QLineEdit>(model.query);
        field->setPlaceholderText(QString::fromStdString(harness.lang->tr("Folders")));
        QObject::connect(field.get(), &QLineEdit::textChanged, [&](const QString& text) { model.query = text; });
        return field;
    });
    auto* field = static_cast<QLineEdit*>(root.content());
    field->setText(QStringLiteral("remix"));

    harness.lang->setChoice("fr");
    runPostedEvents();
    auto* rebuilt = static_cast<QLineEdit*>(root.content());
    EXPECT_EQ(rebuilt->text(), QStringLiteral("remix"));
    EXPECT_EQ(rebuilt->placeholderText(), QStringLiteral("Dossiers"));
}

TEST(LangRoot, DefaultLocaleFollowsBeforeAnyRootRebuilds) {
    const QLocale before;
    Harness harness("de");
    const platform::Connection following =
        followInterfaceLocale(*harness.lang, harness.notifications, harness.mainQueue);
    EXPECT_EQ(QLocale().language(), QLocale::German) << "at start";

    // The factory sees the new default, and so do the results table's kind descriptions.
    std::vector<QLocale::Language> seenByFactory;
    std::vector<std::string> kinds;
    LangRoot root(harness.setup(), [&] {
        seenByFactory.push_back(QLocale().language());
        kinds.push_back(fileTypeOf("pdf").description.value_or("(none)"));
        return std::make_unique<QWidget>();
    });
    harness.lang->setChoice("pt-BR");
    runPostedEvents();
    EXPECT_EQ(seenByFactory, (std::vector<QLocale::Language>{QLocale::German, QLocale::Portuguese}));
    EXPECT_EQ(kinds, (std::vector<std::string>{"PDF-Dokument", "Documento PDF"}));
    EXPECT_EQ(QLocale().territory(), QLocale::Brazil);
    QLocale::setDefault(before);
}

TEST(LangRoot, LocaleOfTheResolvedLanguage) {
    const struct {
        const char* choice;
        core::LanguageEnvironment environment;
        QLocale::Language language;
        QLocale::Territory territory;
    } cases[] = {
        {"de", {}, QLocale::German, QLocale::Germany},
        {"pt-BR", {}, QLocale::Portuguese, QLocale::Brazil},
        {"system", {.lcAll = "de_AT.UTF-8"}, QLocale::German, QLocale::Austria},
        {"system", {.lang = "fr_CA.UTF-8"}, QLocale::French, QLocale::Canada},
        {"ja", {.lang = "de_DE.UTF-8"}, QLocale::Japanese, QLocale::Japan},
    };
    for (const auto& c : cases) {
        Harness harness(c.choice, c.environment);
        const QLocale locale = interfaceLocale(*harness.lang);
        EXPECT_EQ(locale.language(), c.language) << c.choice;
        EXPECT_EQ(locale.territory(), c.territory) << c.choice;
    }
}

}  // namespace
}  // namespace quorvanta::app
