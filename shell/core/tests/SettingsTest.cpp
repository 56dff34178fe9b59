#include "pellwick/ProgramState.h"
#include "pellwick/modMain.h"
#include "pellwick/modRegistry.h"
#include "pellwick/testing/CoreTestScope.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace pellwick;
using pellwick::testing::CoreTestScope;

namespace {

const QString kHive = QStringLiteral("HKCU");
const QString kTemplate = QStringLiteral("[QUOTE_NAME] <[QUOTE_NO]>");

int ModeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(Settings, NoStoreAtAllGivesEveryDefault) {
    CoreTestScope scope;
    ASSERT_FALSE(QFile::exists(scope.settingsFile()));

    EXPECT_EQ(GetInfusionsoftAppNameFromRegistry(), QString());
    EXPECT_EQ(GetInfusionsoftAPIKeyFromRegistry(), QString());
    EXPECT_FALSE(CheckIfInfusionsoftAPIKeyIsSaved());
    EXPECT_EQ(GetInfusionsoftContactNotesActionDescriptionFromRegistry(), kTemplate);
    EXPECT_EQ(GetInfusionsoftContactNotesCreationNotesFromRegistry(), kTemplate);
    EXPECT_FALSE(ReadDebugModeSetting());
    EXPECT_FALSE(State().DebugMode);
    ReadSettings();
    EXPECT_TRUE(State().ShowSaveQuoteOnSave);
    EXPECT_TRUE(State().ShowSaveQuoteOnEmail);
    for (const QString& flag :
         {setting::SetContactManagerSetting, setting::AddQuoteDocNo, setting::AddOpportunityNotes,
          setting::UploadQuoteFile, setting::UploadQuotePDFFile, setting::OpenContactRecord,
          setting::UpdateProjectedRevenue, setting::OpenOpportunityRecord})
        EXPECT_TRUE(ReadFlagSetting(flag)) << flag.toStdString();
    EXPECT_EQ(ReadInt16Setting(setting::DropDownOpportunity), 0);
    EXPECT_EQ(ReadInt16Setting(setting::DropDownActionSet), 0);

    const EndpointSettings endpoint = ReadEndpointSettings();
    EXPECT_TRUE(endpoint.serviceDomain.isEmpty());
    EXPECT_EQ(endpoint.port, 0);
    EXPECT_TRUE(endpoint.caBundle.isEmpty());
    EXPECT_FALSE(endpoint.useCurrentEndpoint);

    EXPECT_TRUE(scope.boxes->boxes().empty());
    EXPECT_FALSE(QFile::exists(scope.settingsFile())) << "reading must not create the store";
}

TEST(Settings, FlagsAreOnExactlyWhenTheTextConvertsToOne) {
    CoreTestScope scope;
    struct Case {
        const char* stored;
        bool debugMode;  // default "0"
        bool showOnSave; // default "1"
    };
    const Case cases[] = {
        {"1", true, true},     {"2", false, false},
        {"0", false, false},   {"-1", false, false},
        {"junk", false, true}, {"", false, true},
        {" 1 ", true, true},   {"1.4", true, true},
        {"0.5", false, false}, {"99999999999", false, true},
    };
    for (const Case& c : cases) {
        scope.store(setting::DebugMode, QString::fromUtf8(c.stored));
        scope.store(setting::ShowSaveQuoteOnSave, QString::fromUtf8(c.stored));
        scope.store(setting::ShowSaveQuoteOnEmail, QString::fromUtf8(c.stored));
        EXPECT_EQ(ReadDebugModeSetting(), c.debugMode) << c.stored;
        ReadSettings();
        EXPECT_EQ(State().ShowSaveQuoteOnSave, c.showOnSave) << c.stored;
        EXPECT_EQ(State().ShowSaveQuoteOnEmail, c.showOnSave) << c.stored;
    }
    EXPECT_TRUE(scope.boxes->boxes().empty()) << "junk in a flag is never reported";
}

TEST(Settings, SixteenBitValuesKeepTheirDefaultWhenOutOfRange) {
    CoreTestScope scope;
    scope.store(setting::DropDownOpportunity, QStringLiteral("-2"));
    EXPECT_EQ(ReadInt16Setting(setting::DropDownOpportunity), -2);
    scope.store(setting::DropDownOpportunity, QStringLiteral("40000"));
    EXPECT_EQ(ReadInt16Setting(setting::DropDownOpportunity), 0);
    scope.store(setting::DropDownActionSet, QStringLiteral("12x"));
    EXPECT_EQ(ReadInt16Setting(setting::DropDownActionSet), 0);
}

TEST(Settings, ConnectionValuesUseTheReversedHexForm) {
    CoreTestScope scope;
    EXPECT_EQ(DecodeReversedHex(QStringLiteral("362616")), QStringLiteral("abc"));
    EXPECT_EQ(EncodeReversedHex(QStringLiteral("abc")), QStringLiteral("362616"));
    EXPECT_EQ(EncodeReversedHex(QStringLiteral("z\n")), QStringLiteral("A0A7"));
    // Non-ASCII text travels as its UTF-8 bytes; lower-case digits are read as well.
    const QString name = QStringLiteral("M\u00fcller & S\u00f6hne");
    EXPECT_EQ(DecodeReversedHex(EncodeReversedHex(name)), name);
    EXPECT_EQ(DecodeReversedHex(QStringLiteral("362616").toLower()), QStringLiteral("abc"));
    EXPECT_EQ(DecodeReversedHex(QString()), QString());

    scope.store(setting::InfusionsoftAppName, QStringLiteral("362616"));
    EXPECT_EQ(GetInfusionsoftAppNameFromRegistry(), QStringLiteral("abc"));
    ASSERT_EQ(WriteInfusionsoftAPIKeyToRegistry(QStringLiteral("k3y")), 0);
    EXPECT_EQ(ReadSetting(setting::InfusionsoftAPIKey), QStringLiteral("9733B6"));
    EXPECT_EQ(GetInfusionsoftAPIKeyFromRegistry(), QStringLiteral("k3y"));
    EXPECT_TRUE(CheckIfInfusionsoftAPIKeyIsSaved());
}

TEST(Settings, CorruptStoredFormReportsInTheGetterAndGivesEmptyText) {
    CoreTestScope scope;
    for (const char* stored : {"36261", "3G2616", "F8"}) { // odd length, not hex, not UTF-8
        scope.boxes->clear();
        scope.store(setting::InfusionsoftAppName, QString::fromUtf8(stored));
        EXPECT_EQ(GetInfusionsoftAppNameFromRegistry(), QString()) << stored;
        ASSERT_EQ(scope.boxes->boxes().size(), 1u) << stored;
        EXPECT_EQ(scope.boxes->boxes()[0].title, QStringLiteral("Pellwick Error"));
        EXPECT_TRUE(scope.boxes->boxes()[0].text.contains(
            QStringLiteral("Error Section: GetInfusionsoftAppNameFromRegistry\r\n")));
        EXPECT_TRUE(scope.boxes->boxes()[0].text.contains(QStringLiteral("Error Number: 13\r\n")));
    }
}

TEST(Settings, BlanksOnlyConnectionValuesCountAsNotSaved) {
    CoreTestScope scope;
    WriteInfusionsoftAppNameToRegistry(QStringLiteral("   "));
    WriteInfusionsoftAPIKeyToRegistry(QStringLiteral("key"));
    EXPECT_FALSE(CheckIfInfusionsoftAPIKeyIsSaved());
    WriteInfusionsoftAppNameToRegistry(QStringLiteral("demo"));
    WriteInfusionsoftAPIKeyToRegistry(QStringLiteral(" \t "));
    EXPECT_FALSE(CheckIfInfusionsoftAPIKeyIsSaved());
    WriteInfusionsoftAPIKeyToRegistry(QStringLiteral(" key "));
    EXPECT_TRUE(CheckIfInfusionsoftAPIKeyIsSaved());
    EXPECT_EQ(GetInfusionsoftAPIKeyFromRegistry(), QStringLiteral(" key ")) << "kept as typed";
}

TEST(Settings, TextComesBackExactlyAsWritten) {
    CoreTestScope scope;
    const QString texts[] = {
        QStringLiteral("[QUOTE_NAME], quoted; \"for\" you <[QUOTE_NO]>"),
        QStringLiteral("  leading and trailing blanks  "),
        QStringLiteral("two\r\nlines"),
        QStringLiteral("@Variant(not really)"),
        QStringLiteral("back\\slash and = sign"),
        QStringLiteral("\u00e9t\u00e9 \u20ac"),
        QString(),
    };
    for (const QString& text : texts) {
        ASSERT_EQ(WriteSetting(setting::ContactNotesCreationNotes, text), 0);
        EXPECT_EQ(GetInfusionsoftContactNotesCreationNotesFromRegistry(), text)
            << text.toStdString();
    }
}

TEST(Registry, StatusCodesAndKeyMapping) {
    CoreTestScope scope;
    QString value = QStringLiteral("unchanged");
    EXPECT_EQ(ReadRegistryValue(QStringLiteral("HKLM"), SettingsKey, QStringLiteral("X"),
                                QStringLiteral("S"), QStringLiteral("dflt"), value),
              99);
    EXPECT_EQ(value, QStringLiteral("dflt"));
    EXPECT_EQ(WriteRegistryValue(QStringLiteral("HKXX"), SettingsKey, QStringLiteral("X"),
                                 QStringLiteral("S"), QStringLiteral("v")),
              99);
    EXPECT_EQ(ReadRegistryValue(kHive, SettingsKey, QStringLiteral("Missing"), QStringLiteral("S"),
                                QStringLiteral("dflt"), value),
              2);
    EXPECT_EQ(value, QStringLiteral("dflt"));

    // Hive and key compare without regard to case; either separator is accepted.
    EXPECT_EQ(WriteRegistryValue(QStringLiteral("hkcu"), QStringLiteral("software/varrow/PELLWICK"),
                                 QStringLiteral("Name"), QStringLiteral("S"), QStringLiteral("v1")),
              0);
    EXPECT_EQ(ReadRegistryValue(kHive, SettingsKey, QStringLiteral("Name"), QStringLiteral("S"),
                                QString(), value),
              0);
    EXPECT_EQ(value, QStringLiteral("v1"));

    // A subkey is its own group; keys outside ours are not provided.
    const QString subkey = SettingsKey + QStringLiteral("\\Sub");
    EXPECT_EQ(WriteRegistryValue(kHive, subkey, QStringLiteral("Name"), QStringLiteral("S"),
                                 QStringLiteral("v2")),
              0);
    ReadRegistryValue(kHive, subkey, QStringLiteral("Name"), QStringLiteral("S"), QString(), value);
    EXPECT_EQ(value, QStringLiteral("v2"));
    ReadRegistryValue(kHive, SettingsKey, QStringLiteral("Name"), QStringLiteral("S"), QString(),
                      value);
    EXPECT_EQ(value, QStringLiteral("v1"));
    EXPECT_EQ(WriteRegistryValue(kHive, QStringLiteral("Software\\Other"), QStringLiteral("Name"),
                                 QStringLiteral("S"), QStringLiteral("v")),
              5);
    EXPECT_EQ(ReadRegistryValue(kHive, QStringLiteral("Software\\Varrow"), QStringLiteral("Name"),
                                QStringLiteral("S"), QStringLiteral("d"), value),
              2);

    // Numbers and Booleans are stored as text and converted on reading.
    std::int32_t number = 7;
    EXPECT_EQ(WriteRegistryValue(kHive, SettingsKey, QStringLiteral("N"), QStringLiteral("D"),
                                 QStringLiteral("-42")),
              0);
    EXPECT_EQ(
        ReadRegistryValue(kHive, SettingsKey, QStringLiteral("N"), QStringLiteral("D"), 0, number),
        0);
    EXPECT_EQ(number, -42);
    bool flag = false;
    WriteRegistryValue(kHive, SettingsKey, QStringLiteral("B"), QStringLiteral("B"),
                       QStringLiteral("True"));
    ReadRegistryValue(kHive, SettingsKey, QStringLiteral("B"), QStringLiteral("B"), false, flag);
    EXPECT_TRUE(flag);
    // Text that is no number leaves the default in an integer variable, status 0.
    WriteRegistryValue(kHive, SettingsKey, QStringLiteral("N"), QStringLiteral("S"),
                       QStringLiteral("abc"));
    EXPECT_EQ(
        ReadRegistryValue(kHive, SettingsKey, QStringLiteral("N"), QStringLiteral("S"), 5, number),
        0);
    EXPECT_EQ(number, 5);
}

TEST(Registry, UnwritableStoreGivesNonZeroStatusAndKeepsNoPhantomValue) {
    CoreTestScope scope;
    // A store whose folder cannot be created: its parent is a plain file (this holds
    // even for a user who may write anywhere).
    const QString blocker = scope.folder() + QStringLiteral("/blocker");
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    SetSettingsFileOverride(blocker + QStringLiteral("/Pellwick.conf"));
    EXPECT_NE(WriteSetting(setting::DebugMode, QStringLiteral("1")), 0);
    EXPECT_FALSE(ReadDebugModeSetting()) << "a value that never reached the store";
    EXPECT_TRUE(scope.boxes->boxes().empty());
    SetSettingsFileOverride(scope.settingsFile());
}

TEST(Registry, TheStoreIsPrivateToTheUser) {
    CoreTestScope scope;
    const QString config = scope.folder() + QStringLiteral("/config");
    const QString store = config + QStringLiteral("/Varrow/Pellwick.conf");
    SetSettingsFileOverride(store);
    ASSERT_EQ(WriteInfusionsoftAPIKeyToRegistry(QStringLiteral("k3y")), 0);
    EXPECT_EQ(ModeOf(config), 0700);
    EXPECT_EQ(ModeOf(config + QStringLiteral("/Varrow")), 0700);
    EXPECT_EQ(ModeOf(store), 0600);

    // A file others could read (an earlier version's) is narrowed by the next write; a
    // stricter mode the user chose stays.
    ASSERT_EQ(::chmod(QFile::encodeName(store).constData(), 0644), 0);
    ASSERT_EQ(WriteSetting(setting::DebugMode, QStringLiteral("1")), 0);
    EXPECT_EQ(ModeOf(store), 0600);
    ASSERT_EQ(::chmod(QFile::encodeName(store).constData(), 0400), 0);
    WriteSetting(setting::DebugMode, QStringLiteral("0")); // refused unless run as root
    EXPECT_EQ(ModeOf(store), 0400);
    SetSettingsFileOverride(scope.settingsFile());
}

TEST(Registry, AWriteKeepsEveryOtherLineOrChangesNothing) {
    CoreTestScope scope;
    // Lines the store would drop, or read and write back otherwise: the write is refused,
    // the file keeps its bytes and the refusal names the file and the line.
    const std::pair<QByteArray, int> refused[] = {
        {"[General]\nDebugMode=0\nno equals sign\n", 3},
        {"\xEF\xBB\xBF[General]\nDebugMode=0\n", 1},
        {"[General]\nDebugMode=0\n; the CRM sandbox, set by hand\n", 3},
        {"# a note\n[General]\nDebugMode=0\n", 1},
        {"[General]\nDebugMode=0\n\x01\x02\xFF\xFE\n", 3},
        {"[General]\nContactNotesCreationNotes=a;b\n", 2},
        {"[General]\nInfusionsoftCABundle=C:\\certs\\ca.pem\n", 2},
        {"[General]\nDebugMode=0\nDebugMode=1\n", 2},
        {"[General]\nContactNotesActionDescription=a,b\n", 2},
        {"[General]\r\nDebugMode = 1\r\n", 2},
    };
    for (const auto& [content, line] : refused) {
        WriteFile(scope.settingsFile(), content);
        EXPECT_EQ(WriteSetting(setting::ShowSaveQuoteOnSave, QStringLiteral("0")), 13)
            << content.toStdString();
        EXPECT_EQ(ReadAll(scope.settingsFile()), content);
        EXPECT_TRUE(ReadFlagSetting(setting::ShowSaveQuoteOnSave)) << "a value never stored";
        const QString why = LastSettingsWriteRefusal();
        EXPECT_TRUE(why.contains(scope.settingsFile()) &&
                    why.contains(QStringLiteral("line %1:").arg(line)))
            << why.toStdString();
    }
    // Several values in one write are refused together, the file kept.
    const std::vector<std::pair<QString, QString>> both = {
        {setting::ShowSaveQuoteOnSave, QStringLiteral("0")},
        {setting::DebugMode, QStringLiteral("1")}};
    WriteFile(scope.settingsFile(), refused[2].first);
    EXPECT_EQ(WriteSettings(both), 13);
    EXPECT_EQ(ReadAll(scope.settingsFile()), refused[2].first);
    EXPECT_TRUE(ReadFlagSetting(setting::ShowSaveQuoteOnSave));

    // Every other line is kept, whatever the order and line ends; the values' own lines,
    // however they were written, are replaced.
    WriteFile(scope.settingsFile(), "[General]\r\nShowSaveQuoteOnSave = 1\r\nDebugMode=0\r\n\r\n"
                                    "[Sub]\r\nName=v\r\n");
    ASSERT_EQ(WriteSettings(both), 0);
    EXPECT_FALSE(ReadFlagSetting(setting::ShowSaveQuoteOnSave));
    EXPECT_TRUE(ReadDebugModeSetting());
    QString value;
    ReadRegistryValue(kHive, SettingsKey + QStringLiteral("\\Sub"), QStringLiteral("Name"),
                      QStringLiteral("S"), QString(), value);
    EXPECT_EQ(value, QStringLiteral("v"));
}

TEST(Settings, EndpointValuesAndTheSiteBase) {
    CoreTestScope scope;
    scope.store(setting::InfusionsoftServiceDomain, QStringLiteral(" localhost "));
    scope.store(setting::InfusionsoftServicePort, QStringLiteral("8443"));
    scope.store(setting::InfusionsoftCABundle, QStringLiteral("/tmp/ca.pem"));
    scope.store(setting::InfusionsoftUseCurrentEndpoint, QStringLiteral("1"));
    EndpointSettings endpoint = ReadEndpointSettings();
    EXPECT_EQ(endpoint.serviceDomain, QStringLiteral("localhost"));
    EXPECT_EQ(endpoint.port, 8443);
    EXPECT_EQ(endpoint.caBundle, QStringLiteral("/tmp/ca.pem"));
    EXPECT_TRUE(endpoint.useCurrentEndpoint);
    EXPECT_EQ(InfusionsoftSiteBase(QStringLiteral("demo"), endpoint),
              QStringLiteral("https://demo.localhost:8443"));

    for (const char* bad : {"0", "70000", "-1", "port"}) {
        scope.store(setting::InfusionsoftServicePort, QString::fromUtf8(bad));
        EXPECT_EQ(ReadEndpointSettings().port, 0) << bad;
    }
    EXPECT_EQ(InfusionsoftSiteBase(QStringLiteral("ab123"), EndpointSettings{}),
              QStringLiteral("https://ab123.infusionsoft.com"));
    EndpointSettings port443;
    port443.port = 443;
    EXPECT_EQ(InfusionsoftSiteBase(QStringLiteral("ab123"), port443),
              QStringLiteral("https://ab123.infusionsoft.com"));
}

// A new configuration speaks REST v2; one stored before there was a choice keeps XML-RPC;
// a stored choice (in any case) wins, and junk counts as no choice.
TEST(Settings, TheInterfaceOfANewOrAStoredConfiguration) {
    CoreTestScope scope;
    EXPECT_TRUE(ReadRestV2Setting());
    WriteInfusionsoftAppNameToRegistry(QStringLiteral("ab123"));
    WriteInfusionsoftAPIKeyToRegistry(QStringLiteral("key"));
    EXPECT_FALSE(ReadRestV2Setting());
    const std::pair<const char*, bool> stored[] = {
        {"RESTv2", true}, {"restv2", true}, {"XMLRPC", false}, {"junk", false}};
    for (const auto& [text, rest] : stored) {
        scope.store(setting::InfusionsoftInterface, QString::fromUtf8(text));
        EXPECT_EQ(ReadRestV2Setting(), rest) << text;
        EXPECT_EQ(ReadEndpointSettings().restV2, rest) << text;
    }
}

} // namespace
