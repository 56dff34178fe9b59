#include "pellwick/addons/AddonRegistration.h"

#include "TestFiles.h"
#include "pellwick/ErrorReport.h"
#include "pellwick/ProgramState.h"
#include "pellwick/testing/CoreTestScope.h"

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <tuple>

using namespace pellwick;
using namespace pellwick::test;
using pellwick::testing::CoreTestScope;
using pellwick::testing::FakeQuoteWerksApp;

namespace {

const QString kExe = "/opt/pellwick/bin/pellwick";
const QString kNoSiteIni = "Unable to find QuoteWerks - Site.ini file.";
using Outcome = RegistrationResult::Outcome;

// The parts of a result a test compares at once.
std::tuple<Outcome, bool, QString> parts(const RegistrationResult& result) {
    return {result.outcome, result.listed, result.cause};
}

class AddonRegistration : public ::testing::Test {
protected:
    void SetUp() override {
        State().QuoteWerksApp = std::make_shared<FakeQuoteWerksApp>(folder.path());
        SetPluginExecutablePathOverride(kExe);
    }
    void TearDown() override { SetPluginExecutablePathOverride(QString()); }

    QString siteIni() const { return folder.file("site.ini"); }
    QStringList backups() const {
        return folder.entries().filter(QRegularExpression("^site\\.ini_bak_\\d{14}(_\\d+)?$"));
    }
    std::string siteText() const { return readFile(siteIni()).toStdString(); }

    CoreTestScope scope;
    TempFolder folder;
};

} // namespace

TEST_F(AddonRegistration, EntryWithBlanksAndUpperCaseCountsAndIsRemovedWhole) {
    const QByteArray before = "[Addons]\r\n"
                              "AutoRun1=C:\\Tools\\Other.exe\r\n"
                              "  AutoRun3 =   /USR/Local/PELLWICK  \r\n"
                              "AutoRun4=C:\\Tools\\Third.exe\r\n";
    writeFile(siteIni(), before);
    EXPECT_TRUE(CheckIfPluginIsInstalled());
    EXPECT_TRUE(scope.boxes->boxes().empty());

    EXPECT_EQ(parts(RemovePlugin()), parts({Outcome::Removed, false, ""}));
    EXPECT_EQ(siteText(), "[Addons]\r\n"
                          "AutoRun1=C:\\Tools\\Other.exe\r\n"
                          "AutoRun4=C:\\Tools\\Third.exe\r\n");
    ASSERT_EQ(backups().size(), 1);
    EXPECT_EQ(readFile(folder.file(backups().front())), before);
    EXPECT_TRUE(scope.boxes->boxes().empty());
}

TEST_F(AddonRegistration, OnlyEntriesInsideTheAddonsSectionCount) {
    const auto installed = [this](const QByteArray& content) {
        writeFile(siteIni(), content);
        return CheckIfPluginIsInstalled();
    };
    EXPECT_FALSE(installed("AutoRun1=/opt/pellwick/bin/pellwick\n[addons]\nAutoRun1=/other\n"));
    EXPECT_FALSE(installed("[addons]\nAutoRun1=/other\n[Contact Managers]\n"
                           "AutoRun2=/opt/pellwick/bin/pellwick\n"));
    EXPECT_FALSE(installed("[addons]\nAutoRun1=/opt/notpellwick\n; AutoRun2=/pellwick\n"
                           "Start=/pellwick\n"));
    EXPECT_FALSE(installed("[addons]\nAutoRun1=/other\nautorun1=/opt/pellwick/bin/pellwick\n"));
    EXPECT_TRUE(installed("[ADDONS]\nautorun7=C:\\Program Files\\Pellwick\\PELLWICK.EXE\n"));
    EXPECT_TRUE(installed("[addons]\nAutoRun2=\"/somewhere/else/pellwick\"\n"));
    EXPECT_TRUE(scope.boxes->boxes().empty());

    // Removing with nothing to remove changes nothing and counts as removed.
    writeFile(siteIni(), "AutoRun1=/opt/pellwick/bin/pellwick\n[addons]\nAutoRun1=/other\n");
    EXPECT_EQ(RemovePlugin().outcome, Outcome::Removed);
    EXPECT_EQ(siteText(), "AutoRun1=/opt/pellwick/bin/pellwick\n[addons]\nAutoRun1=/other\n");
    EXPECT_TRUE(backups().isEmpty());
}

TEST_F(AddonRegistration, InstallTakesTheLowestFreeNumberAndKeepsEverythingElse) {
    const QByteArray before = "; QuoteWerks add-ons\r\n"
                              "[General]\r\n"
                              "Name = Main\r\n"
                              "\r\n"
                              "[addons]\r\n"
                              "AutoRun1=C:\\Tools\\Other.exe\r\n"
                              "; the label printer\r\n"
                              "AutoRun2 = C:\\Tools\\Label.exe\r\n"
                              "AutoRun4=C:\\Tools\\Fourth.exe\r\n"
                              "\r\n"
                              "[Contact Managers]\r\n"
                              "DefaultContactManager=3\r\n";
    writeFile(siteIni(), before);
    EXPECT_EQ(parts(InstallPlugin()), parts({Outcome::Installed, true, ""}));

    QByteArray expected = before;
    expected.replace("Fourth.exe\r\n", "Fourth.exe\r\nAutoRun3=/opt/pellwick/bin/pellwick\r\n");
    EXPECT_EQ(siteText(), expected.toStdString());
    ASSERT_EQ(backups().size(), 1);
    EXPECT_EQ(readFile(folder.file(backups().front())), before);
    EXPECT_TRUE(scope.boxes->boxes().empty());

    // A second install finds the entry and leaves the file alone.
    EXPECT_EQ(InstallPlugin().outcome, Outcome::AlreadyInstalled);
    EXPECT_EQ(siteText(), expected.toStdString());
    EXPECT_EQ(backups().size(), 1);
}

TEST_F(AddonRegistration, NumbersOfTenAndMoreAreReadAndDeletedWhole) {
    QByteArray content = "[addons]\n";
    for (int n = 1; n <= 10; ++n) {
        content += "AutoRun" + QByteArray::number(n) + "=C:\\Tools\\Tool" + QByteArray::number(n) +
                   ".exe\n";
    }
    const QByteArray others = content;
    content += "AutoRun12=/opt/pellwick/bin/pellwick\n";
    writeFile(siteIni(), content);
    EXPECT_EQ(LowestFreeAutoRunNumber(IniDocument::fromBytes(content)), 11);
    const std::vector<PluginEntry> entries =
        FindPluginEntries(IniDocument::fromBytes(content), kExe);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.front().number, 12);
    EXPECT_EQ(entries.front().key, "AutoRun12");

    EXPECT_EQ(RemovePlugin().outcome, Outcome::Removed);
    EXPECT_EQ(siteText(), others.toStdString());

    EXPECT_EQ(InstallPlugin().outcome, Outcome::Installed);
    EXPECT_EQ(siteText(), (others + "AutoRun11=/opt/pellwick/bin/pellwick\n").toStdString());
}

TEST_F(AddonRegistration, ListedTwiceTheLastEntryIsRemovedFirst) {
    writeFile(siteIni(), "[addons]\nAutoRun2=/opt/pellwick/bin/pellwick\nAutoRun3=/x/other\n"
                         "AutoRun5=/usr/bin/pellwick\n");
    EXPECT_EQ(parts(RemovePlugin()), parts({Outcome::Failed, true, ""}));
    EXPECT_EQ(siteText(), "[addons]\nAutoRun2=/opt/pellwick/bin/pellwick\nAutoRun3=/x/other\n");
}

TEST_F(AddonRegistration, RemovingTheLastKeyRemovesTheSection) {
    writeFile(siteIni(), "[General]\nx=1\n\n[addons]\nAutoRun1=/opt/pellwick/bin/pellwick\n\n"
                         "[Last]\ny=2\n");
    EXPECT_EQ(RemovePlugin().outcome, Outcome::Removed);
    EXPECT_EQ(siteText(), "[General]\nx=1\n\n[Last]\ny=2\n");
}

TEST_F(AddonRegistration, RemovingKeepsTheSectionsCommentsAndReadsCrOnlyFiles) {
    writeFile(siteIni(),
              "[General]\rx=1\r[addons]\r; our tools\rAutoRun1=/opt/pellwick/bin/pellwick\r");
    EXPECT_TRUE(CheckIfPluginIsInstalled());
    EXPECT_EQ(RemovePlugin().outcome, Outcome::Removed);
    EXPECT_EQ(siteText(), "[General]\rx=1\r[addons]\r; our tools\r");

    EXPECT_EQ(InstallPlugin().outcome, Outcome::Installed);
    EXPECT_EQ(siteText(),
              "[General]\rx=1\r[addons]\r; our tools\rAutoRun1=/opt/pellwick/bin/pellwick\r");
}

TEST_F(AddonRegistration, APathTheFilesEncodingCannotHoldIsRefusedWithNothingWritten) {
    const QByteArray latin1 = "[addons]\nAutoRun1=C:\\Caf\xE9\\tool.exe\n";
    writeFile(siteIni(), latin1);
    SetPluginExecutablePathOverride(QString::fromUtf8("/opt/Łódź/pellwick"));
    const RegistrationResult result = InstallPlugin();
    EXPECT_EQ(readFile(siteIni()), latin1);
    EXPECT_EQ(folder.entries(), QStringList{"site.ini"}) << "not even a backup";
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_FALSE(result.listed);
    EXPECT_TRUE(result.cause.contains("Latin-1")) << result.cause.toStdString();
    EXPECT_TRUE(scope.boxes->boxes().empty());
}

TEST_F(AddonRegistration, ASiteIniThatIsReadOnlyOrAFolderIsNamedAsTheCause) {
    const QByteArray installed = "[addons]\nAutoRun1=/opt/pellwick/bin/pellwick\n";
    writeFile(siteIni(), installed);
    ASSERT_EQ(::chmod(QFile::encodeName(siteIni()).constData(), 0444), 0);
    const QString readOnly = siteIni() + " is read-only.";
    EXPECT_EQ(parts(RemovePlugin()), parts({Outcome::Failed, true, readOnly}));
    writeFile(siteIni(), "[addons]\n");
    EXPECT_EQ(parts(InstallPlugin()), parts({Outcome::Failed, false, readOnly}));
    EXPECT_EQ(readFile(siteIni()), "[addons]\n");
    EXPECT_EQ(folder.entries(), QStringList{"site.ini"});
    EXPECT_TRUE(scope.boxes->boxes().empty());

    QFile::remove(siteIni());
    ASSERT_TRUE(QDir().mkdir(siteIni()));
    const QString isFolder = siteIni() + " is a folder, not a file.";
    EXPECT_FALSE(CheckIfPluginIsInstalled());
    EXPECT_EQ(parts(RemovePlugin()), parts({Outcome::NoSiteIni, false, isFolder}));
    EXPECT_EQ(parts(InstallPlugin()), parts({Outcome::Failed, false, isFolder}));
    EXPECT_EQ(scope.boxes->texts(),
              QStringList({NoSiteIniMessage(isFolder), NoSiteIniMessage(isFolder)}))
        << "the checks say so; removing leaves it to its caller";
    EXPECT_EQ(NoSiteIniMessage(isFolder), kNoSiteIni + "\r\n\r\n" + isFolder);
}

TEST_F(AddonRegistration, BackupsWithinOneSecondGetTheirOwnNamesAndTheSourcesMode) {
    const QByteArray content = "[addons]\nAutoRun1=C:\\x.exe\n";
    writeFile(siteIni(), content);
    ASSERT_EQ(::chmod(QFile::encodeName(siteIni()).constData(), 0640), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(BackupINIFile());
    }
    ASSERT_EQ(backups().size(), 3) << backups().join(' ').toStdString();
    for (const QString& backup : backups()) {
        EXPECT_EQ(readFile(folder.file(backup)), content);
        EXPECT_EQ(statusOf(folder.file(backup)).mode, 0640) << backup.toStdString();
    }
}

TEST_F(AddonRegistration, BackupCopiesTheFileUnderItsDatedName) {
    EXPECT_EQ(BackupINIFileName(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))),
              "site.ini_bak_20260102030405");
    EXPECT_EQ(BackupINIFileName(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58))),
              "site.ini_bak_20261231235958");

    EXPECT_FALSE(BackupINIFile()); // no site.ini, nothing to copy
    EXPECT_TRUE(folder.entries().isEmpty());

    const QByteArray content("[addons]\r\nAutoRun1=C:\\x.exe\r\n; \xE9t\xE9\r\n");
    writeFile(siteIni(), content);
    const QString earliest = BackupINIFileName(QDateTime::currentDateTime());
    EXPECT_TRUE(BackupINIFile());
    const QString latest = BackupINIFileName(QDateTime::currentDateTime());
    ASSERT_EQ(backups().size(), 1);
    EXPECT_GE(backups().front(), earliest);
    EXPECT_LE(backups().front(), latest);
    EXPECT_EQ(readFile(folder.file(backups().front())), content);
    EXPECT_EQ(readFile(siteIni()), content);
    EXPECT_TRUE(scope.boxes->boxes().empty());
}

TEST_F(AddonRegistration, MissingSiteIni) {
    EXPECT_FALSE(CheckIfPluginIsInstalled());
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_EQ(scope.boxes->boxes().front().text, kNoSiteIni);
    EXPECT_EQ(scope.boxes->boxes().front().title, "Pellwick");
    EXPECT_EQ(scope.boxes->boxes().front().icon, MsgIcon::Critical);

    scope.boxes->clear();
    EXPECT_EQ(parts(RemovePlugin()), parts({Outcome::NoSiteIni, false, ""}));
    EXPECT_TRUE(scope.boxes->boxes().empty());
    EXPECT_TRUE(folder.entries().isEmpty());

    // Installing reports the missing file, then creates it with the new section.
    EXPECT_EQ(InstallPlugin().outcome, Outcome::Installed);
    EXPECT_EQ(scope.boxes->texts(), QStringList{kNoSiteIni});
    EXPECT_EQ(siteText(), "[Addons]\nAutoRun1=/opt/pellwick/bin/pellwick\n");
    EXPECT_EQ(folder.entries(), QStringList{"site.ini"});
}

TEST_F(AddonRegistration, ReadOnlyFolderFailsCleanly) {
    const QByteArray before = "[addons]\nAutoRun1=C:\\Tools\\Other.exe\n";
    writeFile(siteIni(), before);
    if (geteuid() == 0) { // the file is "nobody"'s own, only the folder is read-only
        ASSERT_EQ(::chown(QFile::encodeName(siteIni()).constData(), 65534, getegid()), 0);
    }
    folder.setReadOnly(true);
    RegistrationResult result = InstallPlugin();
    folder.setReadOnly(false);
    EXPECT_EQ(readFile(siteIni()), before);
    EXPECT_EQ(folder.entries(), QStringList{"site.ini"});
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_FALSE(result.listed);
    EXPECT_FALSE(result.cause.isEmpty());
    // The backup could not be written: reported, and the install went on to fail.
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_EQ(scope.boxes->boxes()[0].title, "Pellwick Error");
    EXPECT_TRUE(scope.boxes->boxes()[0].text.contains("Error Section: BackupINIFile"));

    const QByteArray installed = "[addons]\nAutoRun1=/opt/pellwick/bin/pellwick\n";
    writeFile(siteIni(), installed);
    scope.boxes->clear();
    folder.setReadOnly(true);
    result = RemovePlugin();
    folder.setReadOnly(false);
    EXPECT_EQ(readFile(siteIni()), installed);
    EXPECT_EQ(folder.entries(), QStringList{"site.ini"});
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_TRUE(result.listed);
    EXPECT_FALSE(result.cause.isEmpty());
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_TRUE(scope.boxes->boxes()[0].text.contains("Error Section: BackupINIFile"));
}

TEST_F(AddonRegistration, WithoutTheHostTheErrorIsReported) {
    State().QuoteWerksApp.reset();
    EXPECT_FALSE(CheckIfPluginIsInstalled());
    ASSERT_EQ(scope.boxes->boxes().size(), 1u);
    EXPECT_EQ(scope.boxes->boxes().front().title, "Pellwick Error");
    EXPECT_TRUE(
        scope.boxes->boxes().front().text.contains("Error Section: CheckIfPluginIsInstalled"));
    EXPECT_THROW(RemovePlugin(), ProgramError); // the window reports it under the button
}
