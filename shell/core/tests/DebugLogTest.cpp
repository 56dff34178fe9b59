#include "pellwick/ProgramState.h"
#include "pellwick/modMain.h"
#include "pellwick/modQWAPI.h"
#include "pellwick/testing/CoreTestScope.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace pellwick;
using pellwick::testing::CoreTestScope;
using pellwick::testing::StateHomeIn;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A folder below a plain file: no one can write there, root included.
QString UnwritableFolder(const CoreTestScope& scope) {
    const QString blocker = scope.folder() + QStringLiteral("/blocker");
    QFile file(blocker);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    return blocker + QStringLiteral("/bin");
}

// The owner's, group's and others' permissions (what the current user may do is left out).
QFile::Permissions ModeOf(const QString& path) {
    return QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
}
const QFile::Permissions kOwnerReadWrite = QFile::ReadOwner | QFile::WriteOwner;

TEST(DebugLog, WritesNothingWhileDebugModeIsOff) {
    CoreTestScope scope;
    ReadDebugModeSetting();
    DebugMessage(QStringLiteral("frmMain - Form_Load - Started"));
    EXPECT_FALSE(QFile::exists(scope.debugLogPath()));
}

TEST(DebugLog, AppendsOneDatedLinePerMessageWithCrLf) {
    CoreTestScope scope;
    {
        QFile existing(scope.debugLogPath());
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("earlier line\r\n");
    }
    scope.store(setting::DebugMode, QStringLiteral("1"));
    ASSERT_TRUE(ReadDebugModeSetting());
    const QDate before = QDate::currentDate();
    DebugMessage(QStringLiteral("frmMain - Form_Load - Started"));
    DebugMessage(QStringLiteral("frmSaveQuote - ShowForm - Params: 12"));
    const QDate after = QDate::currentDate();

    EXPECT_EQ(ModeOf(scope.debugLogPath()), kOwnerReadWrite) << "the log is the user's alone";
    const QList<QByteArray> lines = ReadAll(scope.debugLogPath()).split('\n');
    ASSERT_EQ(lines.size(), 4) << "three lines and nothing after the last CR LF";
    EXPECT_EQ(lines[0], QByteArray("earlier line\r"));
    EXPECT_TRUE(lines[3].isEmpty());
    const QStringList messages = {QStringLiteral("frmMain - Form_Load - Started"),
                                  QStringLiteral("frmSaveQuote - ShowForm - Params: 12")};
    const QLocale locale = QLocale::system();
    for (int i = 0; i < 2; ++i) {
        const QString line = QString::fromUtf8(lines[i + 1]);
        ASSERT_TRUE(line.endsWith(QStringLiteral(" - ") + messages[i] + QLatin1Char('\r')))
            << line.toStdString();
        // Short date, a blank, the time of day.
        const QString stamp = line.left(line.size() - messages[i].size() - 4);
        const QString date =
            stamp.section(QLatin1Char(' '), 0,
                          locale.toString(before, QLocale::ShortFormat).count(QLatin1Char(' ')));
        EXPECT_TRUE(date == locale.toString(before, QLocale::ShortFormat) ||
                    date == locale.toString(after, QLocale::ShortFormat))
            << stamp.toStdString();
        const QString time = stamp.mid(date.size() + 1);
        EXPECT_TRUE(time.contains(QRegularExpression(QStringLiteral("^\\d{1,2}:\\d{2}:\\d{2}"))))
            << stamp.toStdString();
    }
}

TEST(DebugLog, GoesToTheUsersOwnFolderWhenTheProgramsFolderIsNotWritable) {
    CoreTestScope scope;
    const StateHomeIn state(scope.folder() + QStringLiteral("/state"));
    SetDebugLogFolderOverride(UnwritableFolder(scope));
    const QString log = scope.folder() + QStringLiteral("/state/Varrow/Pellwick/DebugLog.txt");
    EXPECT_EQ(DebugLogPath(), log);
    State().DebugMode = true;
    DebugMessage(QStringLiteral("frmMain - Form_Load - Started"));
    DebugMessage(QStringLiteral("frmMain - Form_Load - Finished"));
    EXPECT_TRUE(scope.boxes->boxes().empty()) << scope.boxes->texts().join('|').toStdString();
    EXPECT_EQ(ReadAll(log).count("\r\n"), 2);
    EXPECT_EQ(ModeOf(log), kOwnerReadWrite);
    EXPECT_EQ(ModeOf(QFileInfo(log).path()), kOwnerReadWrite | QFile::ExeOwner);

    // Open App Folder shows where the log is.
    OpenPluginApplicationFolder();
    ASSERT_EQ(scope.shell->opened().size(), 1u);
    EXPECT_EQ(scope.shell->opened()[0].toLocalFile(), QFileInfo(log).path());
}

TEST(DebugLog, ALogThatCannotBeWrittenAnywhereIsReportedOncePerRun) {
    CoreTestScope scope;
    const StateHomeIn state(UnwritableFolder(scope));
    // Beside the program, a folder where the file should be.
    ASSERT_TRUE(QDir().mkpath(scope.debugLogPath()));
    State().DebugMode = true;
    DebugMessage(QStringLiteral("frmMain - Form_Load - Started"));
    DebugMessage(QStringLiteral("frmMain - Form_Load - Finished"));
    const QStringList texts = scope.boxes->texts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].startsWith(QStringLiteral("Error Reported From Pellwick.\r\n\r\n"
                                                   "Error Section: DebugMessage\r\n"
                                                   "Error Source: Pellwick\r\n")));
    EXPECT_TRUE(texts[0].contains(QStringLiteral("Error Number: 75\r\n")));
    EXPECT_TRUE(texts[0].contains(QStringLiteral("DebugLog.txt")));
    // The cause is the folder that cannot be made, not the file missing from it.
    EXPECT_TRUE(texts[0].contains(QStringLiteral("/blocker: Not a directory")))
        << texts[0].toStdString();
    EXPECT_FALSE(texts[0].contains(QStringLiteral("No such file or directory")));
    EXPECT_EQ(scope.boxes->boxes()[0].title, QStringLiteral("Pellwick Error"));
}

TEST(DebugLog, NeverCarriesTheApiKeyOrTheStoredForms) {
    CoreTestScope scope;
    WriteInfusionsoftAPIKeyToRegistry(QStringLiteral("s3cr3t-key-0042"));
    WriteInfusionsoftAppNameToRegistry(QStringLiteral("demoapp"));
    State().DebugMode = true;
    const QString storedKey = ReadSetting(setting::InfusionsoftAPIKey);
    const QString storedName = ReadSetting(setting::InfusionsoftAppName);
    DebugMessage(QStringLiteral("frmSetup - cmdOK_Click - Params: s3cr3t-key-0042 ") + storedKey +
                 QLatin1Char(' ') + storedName);
    const QByteArray log = ReadAll(scope.debugLogPath());
    EXPECT_FALSE(log.contains("s3cr3t-key-0042"));
    EXPECT_FALSE(log.contains(storedKey.toUtf8()));
    EXPECT_FALSE(log.contains(storedName.toUtf8()));
    EXPECT_TRUE(log.contains("frmSetup - cmdOK_Click - Params: ********"));
}

} // namespace
