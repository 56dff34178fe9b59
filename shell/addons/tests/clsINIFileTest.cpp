#include "pellwick/addons/clsINIFile.h"

#include "TestFiles.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using pellwick::clsINIFile;
using namespace pellwick::test;

namespace {

clsINIFile on(const QString& path, const QString& section, const QString& key = {}) {
    clsINIFile ini;
    ini.SetPath(path);
    ini.SetSection(section);
    ini.SetKey(key);
    return ini;
}

} // namespace

TEST(clsINIFile, NewObjectIsEmpty) {
    const clsINIFile ini;
    EXPECT_TRUE(ini.Path().isEmpty());
    EXPECT_TRUE(ini.Section().isEmpty());
    EXPECT_TRUE(ini.Key().isEmpty());
    EXPECT_TRUE(ini.Default().isEmpty());
    EXPECT_EQ(ini.LastReturnCode(), 0);
    EXPECT_FALSE(ini.Success());
}

TEST(clsINIFile, ReadsValuesAndFallsBackToDefault) {
    TempFolder folder;
    const QString path = folder.file("site.ini");
    writeFile(path, "[Contact Managers]\nDefaultContactManager = 10 \n");
    clsINIFile ini = on(path, "contact managers", "defaultcontactmanager");
    ini.SetDefault("none");
    EXPECT_EQ(ini.Value(), "10");
    ini.SetKey("Other");
    EXPECT_EQ(ini.Value(), "none");
    ini.SetPath(folder.file("missing.ini"));
    EXPECT_EQ(ini.Value(), "none");
    // A long value comes back whole.
    const QString longPath = "/opt/" + QString(300, u'p') + "/pellwick";
    clsINIFile writer = on(path, "addons", "AutoRun1");
    writer.SetValue(longPath);
    EXPECT_EQ(writer.Value(), longPath);
}

TEST(clsINIFile, WritesCreateTheFileAndDropZeroCharacters) {
    TempFolder folder;
    const QString path = folder.file("site.ini");
    clsINIFile ini = on(path, "Contact Managers", "DefaultContactManager");
    ini.SetValue(QString("1") + QChar(0) + "0");
    EXPECT_TRUE(ini.Success());
    EXPECT_EQ(ini.LastReturnCode(), 1);
    EXPECT_EQ(readFile(path).toStdString(), "[Contact Managers]\nDefaultContactManager=10\n");

    // A value the file cannot hold is refused, not written as extra lines.
    ini.SetValue("x\n[addons]\nAutoRun1=/evil");
    EXPECT_FALSE(ini.Success());
    EXPECT_EQ(ini.Value(), "10");
}

TEST(clsINIFile, DeletesKeysAndSections) {
    TempFolder folder;
    const QString path = folder.file("site.ini");
    writeFile(path, "[a]\nk1=1\nk2=2\n\n[b]\nx=1\n");
    clsINIFile ini = on(path, "A", "K1");
    ini.DeleteKey();
    EXPECT_TRUE(ini.Success());
    QStringList keys;
    int count = -1;
    ini.EnumerateCurrentSection(keys, count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(keys, QStringList({"k2"}));
    EXPECT_EQ(ini.INISection(), QString("k2") + QChar(0));

    // Deleting what is not there succeeds and does not rewrite the file.
    const QDateTime before = QFileInfo(path).lastModified();
    folder.setReadOnly(true);
    ini.DeleteKey();
    EXPECT_TRUE(ini.Success());
    folder.setReadOnly(false);
    EXPECT_EQ(QFileInfo(path).lastModified(), before);

    ini.DeleteSection();
    EXPECT_TRUE(ini.Success());
    EXPECT_EQ(readFile(path).toStdString(), "[b]\nx=1\n");
    ini.EnumerateCurrentSection(keys, count);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(keys.isEmpty());
}

TEST(clsINIFile, ListsSectionsSkippingEmptyNames) {
    TempFolder folder;
    const QString path = folder.file("site.ini");
    writeFile(path, "[one]\n[]\n[Two]\nk=v\n");
    const clsINIFile ini = on(path, "");
    QStringList sections;
    int count = 0;
    ini.EnumerateAllSections(sections, count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(sections, QStringList({"one", "Two"}));
    EXPECT_EQ(ini.Sections(), QString("one") + QChar(0) + "Two" + QChar(0));
}

TEST(clsINIFile, WriteIntoReadOnlyFolderFailsCleanly) {
    TempFolder folder;
    const QString path = folder.file("site.ini");
    const QByteArray original = "; keep me\n[addons]\nAutoRun1=/other\n";
    writeFile(path, original);
    folder.setReadOnly(true);
    clsINIFile ini = on(path, "Addons", "AutoRun2");
    ini.SetValue("/opt/pellwick/pellwick");
    EXPECT_FALSE(ini.Success());
    ini.SetKey("AutoRun1");
    ini.DeleteKey();
    EXPECT_FALSE(ini.Success());
    folder.setReadOnly(false);
    EXPECT_EQ(readFile(path), original);
    EXPECT_EQ(folder.entries(), QStringList({"site.ini"}));
}

TEST(clsINIFile, CLngDefaultConvertsNumbersOnly) {
    EXPECT_EQ(clsINIFile::CLngDefault("42"), 42);
    EXPECT_EQ(clsINIFile::CLngDefault(" -7 "), -7);
    EXPECT_EQ(clsINIFile::CLngDefault("2.5"), 2);
    EXPECT_EQ(clsINIFile::CLngDefault("3.5"), 4);
    EXPECT_EQ(clsINIFile::CLngDefault("FAIL", 9), 9);
    EXPECT_EQ(clsINIFile::CLngDefault("", 9), 9);
    EXPECT_EQ(clsINIFile::CLngDefault("12abc"), 0);
    EXPECT_EQ(clsINIFile::CLngDefault("2147483648", 5), 5);
    EXPECT_EQ(clsINIFile::CLngDefault("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(clsINIFile::CLngDefault("1e12", 5), 5);
}

TEST(clsINIFile, FormPositionRoundTripKeepsTheWindowOnScreen) {
    TempFolder folder;
    const QString path = folder.file("forms.ini");
    clsINIFile ini = on(path, "frmTest", "Unrelated");
    const QRect screen(0, 0, 1024, 768);

    // Minimised: nothing written.
    ini.SaveFormPosition(clsINIFile::FormPosition{true, false, QRect(1, 2, 3, 4)});
    EXPECT_FALSE(QFileInfo::exists(path));

    ini.SaveFormPosition(clsINIFile::FormPosition{false, false, QRect(100, 50, 400, 300)});
    EXPECT_EQ(ini.Key(), "Unrelated");
    const clsINIFile::FormPosition current{false, false, QRect(0, 0, 200, 100)};
    clsINIFile::FormPosition loaded = ini.LoadFormPosition(current, screen);
    EXPECT_EQ(loaded.normal, QRect(100, 50, 400, 300));
    EXPECT_FALSE(loaded.maximised);
    EXPECT_EQ(ini.Default(), "FAIL");
    EXPECT_EQ(ini.Key(), "Unrelated");

    // Maximised: only the flag is written; the stored rectangle stays.
    ini.SaveFormPosition(clsINIFile::FormPosition{false, true, QRect(0, 0, 1024, 768)});
    loaded = ini.LoadFormPosition(current, screen);
    EXPECT_TRUE(loaded.maximised);
    EXPECT_EQ(loaded.normal, QRect(100, 50, 400, 300));

    // Off screen and too large: brought back inside.
    ini.SaveFormPosition(clsINIFile::FormPosition{false, false, QRect(2000, -40, 1500, 300)});
    loaded = ini.LoadFormPosition(current, screen);
    EXPECT_EQ(loaded.normal, QRect(0, 0, 1024, 300));

    // Missing keys keep the current values.
    clsINIFile other = on(path, "frmOther");
    EXPECT_EQ(other.LoadFormPosition(current, screen).normal, current.normal);
}
