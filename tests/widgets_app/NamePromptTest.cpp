// The name prompt and the replace prompt, answered the way a user would:
// defaults, empty names, existing .syx files, refused names, nested prompts.
#include "../support/QtTestMain.h"
#include "../support/SessionRig.h"

#include "base/core/FileNameRules.h"
#include "base/widgets/NamePrompt.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace quillon::base;
using namespace quillon::ui;

namespace {

// A dialog action that types a name and presses OK.
quillon::ui::RecordingMessageService::DialogAction typeAndOk(QString name)
{
    return [name](QDialog& d) {
        auto& dialog = static_cast<NameDialog&>(d);
        QCOMPARE(dialog.nameField().text(), QStringLiteral("QZ USER"));
        dialog.nameField().setText(name);
        dialog.okButton().click();
    };
}

void cancel(QDialog& d) { static_cast<NameDialog&>(d).cancelButton().click(); }

struct Harness : quillon::testing::SessionRig {
    Harness() : SessionRig({}, Folder::WorkingDirectory) {}
    bool ask() { return quillon::base::askForName(session, nullptr); }
};

} // namespace

class NamePromptTest : public QObject {
    Q_OBJECT
private slots:
    // How a run of prompts ends: what the question returns, the name kept and
    // what was told on the way. An existing .syx file is replaced on Yes only.
    void promptsEndWithTheNameTypedOrTheOneBefore()
    {
        using quillon::ui::ShownMessage;
        const ShownMessage empty{"Quillon", "Please enter the file name.", MessageIcon::Stop, MessageButtons::Ok};
        const ShownMessage exists{"Quillon v1.1 Beta", "The file have existed, Replace it\xEF\xBC\x9F",
                                  MessageIcon::Stop, MessageButtons::YesNo};
        const struct {
            const char* what;
            std::vector<RecordingMessageService::DialogAction> prompts;
            bool yes; // the answer to the replace question
            bool accepted;
            std::string stored;
            std::vector<ShownMessage> told;
            bool syxFolder = true; // holding Song.syx, or missing
        } cases[] = {
            {"default accepted", {typeAndOk("QZ USER")}, true, true, "QZ USER", {}},
            {"cancelled", {cancel}, true, false, "earlier", {}},
            {"empty name, fresh prompt cancelled", {typeAndOk(""), cancel}, true, true, "earlier", {empty}},
            {"existing file replaced", {typeAndOk("Song")}, true, true, "Song", {exists}},
            {"existing file kept", {typeAndOk("Song"), typeAndOk("other")}, false, true, "other", {exists}},
            {"existing file kept, then cancel", {typeAndOk("Song"), cancel}, false, true, "earlier", {exists}},
            {"no syx folder", {typeAndOk("Song")}, true, true, "Song", {}, false},
        };
        for (const auto& c : cases) {
            Harness h;
            h.session.chosenName = "earlier";
            if (c.syxFolder)
                h.scratch.touch("Quillon/syx/Song.syx", "F0");
            else
                std::filesystem::remove_all(h.folder("syx"));
            for (const auto& prompt : c.prompts)
                h.messages.onNextDialog(prompt);
            h.messages.answerNext(c.yes ? MessageAnswer::Yes : MessageAnswer::No);
            QVERIFY2(h.ask() == c.accepted, c.what);
            QCOMPARE(h.session.chosenName, c.stored);
            QCOMPARE(h.messages.dialogTitles(), std::vector<QString>(c.prompts.size(), "Filename"));
            QVERIFY2(h.messages.messages() == c.told, c.what);
        }
    }

    // Which names are refused is nameRulesTellUsableNamesFromOthers'; here a refusal keeps the prompt open.
    void aRefusedNameIsToldAndThePromptStaysOpen()
    {
        Harness h;
        h.session.chosenName = "before";
        bool stayedOpen = false;
        h.messages.onNextDialog([&](QDialog& d) {
            auto& dialog = static_cast<NameDialog&>(d);
            dialog.nameField().setText("../escape");
            dialog.okButton().click();
            stayedOpen = dialog.result() != QDialog::Accepted;
            QCOMPARE(h.session.chosenName, std::string("before"));
            dialog.nameField().setText("fine name");
            dialog.okButton().click();
        });
        QVERIFY(h.ask());
        QVERIFY(stayedOpen);
        QCOMPARE(h.session.chosenName, std::string("fine name"));
        QVERIFY(h.messages.messages()[0].text.starts_with("This name can't be used: "));
    }

    void nameRulesTellUsableNamesFromOthers()
    {
        using quillon::base::whyNameIsRefused;
        for (const std::string& usable :
             std::vector<std::string>{"QZ USER", "soft.v2", "Kurve \xC3\xBC", std::string(251, 'x')})
            QVERIFY2(!whyNameIsRefused(usable), usable.c_str());
        for (const std::string& refused :
             std::vector<std::string>{"../escape", "sub/name", "sub\\name", "..", ".", "tab\tname", "two\nlines",
                                      "a\x7F", "a..b", std::string(252, 'x')})
            QVERIFY2(whyNameIsRefused(refused), refused.c_str());
    }
};

QUILLON_QTEST(NamePromptTest)
#include "NamePromptTest.moc"
