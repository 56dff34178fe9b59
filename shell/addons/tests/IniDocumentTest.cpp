#include "pellwick/addons/IniDocument.h"

#include "TestFiles.h"

#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

using pellwick::IniDocument;
using namespace pellwick::test;

namespace {

// A site.ini as a host and other tools leave it: comments, odd spacing, CRLF.
const QByteArray kSite = "; QuoteWerks site settings\r\n"
                         "[General]\r\n"
                         "Name = Main Office \r\n"
                         "\r\n"
                         "[Contact Managers]\r\n"
                         "DefaultContactManager=3\r\n"
                         "\r\n"
                         "[addons]\r\n"
                         "; other tools\r\n"
                         "AutoRun1 = C:\\Tools\\Other.exe\r\n"
                         "\r\n"
                         "[Last]\r\n"
                         "x=1\r\n";

std::string str(const QByteArray& bytes) {
    return bytes.toStdString();
}

} // namespace

TEST(IniDocument, KeepsEveryByteOfAnUntouchedFile) {
    const QByteArray odd = "\xEF\xBB\xBF[a]\r\nk=v\n  ; mixed endings\r\n\n[b]\nno newline at end";
    EXPECT_EQ(str(IniDocument::fromBytes(kSite).toBytes()), str(kSite));
    EXPECT_EQ(str(IniDocument::fromBytes(odd).toBytes()), str(odd));
    EXPECT_EQ(IniDocument::fromBytes("").toBytes(), QByteArray());
}

TEST(IniDocument, LooksUpLikeThePlatformsIniFunctions) {
    const IniDocument doc = IniDocument::fromBytes("global=before any section\n"
                                                   "[ Addons ]\n"
                                                   "  AUTORUN1 =  \"C:\\a b\\x.exe\"  \n"
                                                   "autorun1=shadowed\n"
                                                   "Empty=\n"
                                                   "not a key line\n"
                                                   "=no name\n"
                                                   "; c=comment\n"
                                                   "[addons]\n"
                                                   "second=section of the same name\n"
                                                   "[Other]\n"
                                                   "autorun2=y\n");
    EXPECT_EQ(doc.value("addons", "autorun1"), QString("C:\\a b\\x.exe"));
    EXPECT_EQ(doc.value("ADDONS", "Empty"), QString(""));
    EXPECT_EQ(doc.value("addons", "global"), std::nullopt);
    EXPECT_EQ(doc.value("addons", "second"), std::nullopt); // only the first [addons] counts
    EXPECT_EQ(doc.value("addons", "autorun2"), std::nullopt);
    EXPECT_EQ(doc.value("addons", "; c"), std::nullopt);
    EXPECT_EQ(doc.value("missing", "autorun1"), std::nullopt);
    EXPECT_EQ(doc.keys("addons"), QStringList({"AUTORUN1", "autorun1", "Empty"}));
    EXPECT_EQ(doc.sections(), QStringList({"Addons", "addons", "Other"}));
    EXPECT_TRUE(doc.hasSection("other"));
}

TEST(IniDocument, ReplacingAValueChangesOnlyThatLine) {
    IniDocument doc = IniDocument::fromBytes(kSite);
    ASSERT_TRUE(doc.setValue("ADDONS", "autorun1", "D:\\New.exe"));
    ASSERT_TRUE(doc.setValue("general", "name", "Branch"));
    QByteArray expected = kSite;
    expected.replace("AutoRun1 = C:\\Tools\\Other.exe", "AutoRun1 = D:\\New.exe");
    expected.replace("Name = Main Office ", "Name = Branch");
    EXPECT_EQ(str(doc.toBytes()), str(expected));
}

TEST(IniDocument, NewKeyGoesAfterTheSectionsLastLineWithTheFilesLineEnding) {
    IniDocument doc = IniDocument::fromBytes(kSite);
    ASSERT_TRUE(doc.setValue("Addons", "AutoRun2", "/opt/pellwick/pellwick"));
    QByteArray expected = kSite;
    expected.replace("Other.exe\r\n", "Other.exe\r\nAutoRun2=/opt/pellwick/pellwick\r\n");
    EXPECT_EQ(str(doc.toBytes()), str(expected));

    // The last section, in a file without a final line ending.
    IniDocument tail = IniDocument::fromBytes("[a]\nk=v");
    ASSERT_TRUE(tail.setValue("A", "n", "1"));
    EXPECT_EQ(str(tail.toBytes()), "[a]\nk=v\nn=1\n");

    // A section holding only its header.
    IniDocument bare = IniDocument::fromBytes("[a]\n\n[b]\n");
    ASSERT_TRUE(bare.setValue("a", "k", "v"));
    EXPECT_EQ(str(bare.toBytes()), "[a]\nk=v\n\n[b]\n");
}

TEST(IniDocument, NewSectionIsAppended) {
    IniDocument doc = IniDocument::fromBytes("; only a comment");
    ASSERT_TRUE(doc.setValue("Addons", "AutoRun1", "/x"));
    EXPECT_EQ(str(doc.toBytes()), "; only a comment\n\n[Addons]\nAutoRun1=/x\n");

    IniDocument crlf = IniDocument::fromBytes("[a]\r\nk=v\r\n");
    ASSERT_TRUE(crlf.setValue("b", "k", "v"));
    EXPECT_EQ(str(crlf.toBytes()), "[a]\r\nk=v\r\n\r\n[b]\r\nk=v\r\n");

    IniDocument empty;
    ASSERT_TRUE(empty.setValue("Addons", "AutoRun1", "/x"));
    EXPECT_EQ(str(empty.toBytes()), "[Addons]\nAutoRun1=/x\n");
}

TEST(IniDocument, RemovesAKeyOrAWholeSection) {
    IniDocument doc = IniDocument::fromBytes(kSite);
    EXPECT_TRUE(doc.removeKey("ADDONS", "AUTORUN1"));
    EXPECT_FALSE(doc.removeKey("addons", "autorun1"));
    EXPECT_FALSE(doc.removeKey("nowhere", "x"));
    QByteArray expected = kSite;
    expected.replace("AutoRun1 = C:\\Tools\\Other.exe\r\n", "");
    EXPECT_EQ(str(doc.toBytes()), str(expected));

    EXPECT_TRUE(doc.removeSection("Addons"));
    EXPECT_FALSE(doc.removeSection("Addons"));
    expected.replace("[addons]\r\n; other tools\r\n\r\n", "");
    EXPECT_EQ(str(doc.toBytes()), str(expected));
}

TEST(IniDocument, RefusesWhatTheFormatCannotHold) {
    IniDocument doc = IniDocument::fromBytes(kSite);
    EXPECT_FALSE(doc.setValue("addons", "AutoRun2", "C:\\x.exe\r\n[evil]\r\nk=v"));
    EXPECT_FALSE(doc.setValue("addons", "a=b", "v"));
    EXPECT_FALSE(doc.setValue("addons", ";k", "v"));
    EXPECT_FALSE(doc.setValue("addons", "[k", "v"));
    EXPECT_FALSE(doc.setValue("addons", "  ", "v"));
    EXPECT_FALSE(doc.setValue("a]b", "k", "v"));
    EXPECT_FALSE(doc.setValue("", "k", "v"));
    EXPECT_FALSE(doc.setValue("a\nb", "k", "v"));
    EXPECT_EQ(str(doc.toBytes()), str(kSite));
}

TEST(IniDocument, ReadsAndKeepsCrOnlyLineEndings) {
    const QByteArray cr = "[General]\rName=Main\r\r[Addons]\rAutoRun1=/x\r";
    IniDocument doc = IniDocument::fromBytes(cr);
    EXPECT_EQ(doc.value("addons", "autorun1"), QString("/x"));
    EXPECT_EQ(doc.sections(), QStringList({"General", "Addons"}));
    ASSERT_TRUE(doc.setValue("Addons", "AutoRun2", "/y"));
    EXPECT_EQ(str(doc.toBytes()), str(cr + "AutoRun2=/y\r"));
}

TEST(IniDocument, KeepsALatin1FileInLatin1) {
    const QByteArray latin1 = "[a]\nName=Caf\xE9\nk=1\n";
    IniDocument doc = IniDocument::fromBytes(latin1);
    EXPECT_EQ(doc.value("a", "name"), QString::fromUtf8("Café"));
    ASSERT_TRUE(doc.setValue("a", "k", QString::fromUtf8("Zoë")));
    EXPECT_EQ(str(doc.toBytes()), str("[a]\nName=Caf\xE9\nk=Zo\xEB\n"));
    // Characters Latin-1 cannot hold are refused, never written as "?".
    QString why;
    EXPECT_FALSE(doc.setValue("a", "k", QString::fromUtf8("/opt/Łódź/pellwick"), &why));
    EXPECT_TRUE(why.contains("Latin-1")) << why.toStdString();
    EXPECT_EQ(str(doc.toBytes()), str("[a]\nName=Caf\xE9\nk=Zo\xEB\n"));

    IniDocument utf8 = IniDocument::fromBytes("[a]\nk=1\n");
    ASSERT_TRUE(utf8.setValue("a", "k", QString::fromUtf8("Zoë")));
    EXPECT_EQ(str(utf8.toBytes()), "[a]\nk=Zo\xC3\xAB\n");
}

TEST(IniDocumentFile, MissingFileReadsEmptyAndIsCreatedOnSave) {
    TempFolder folder;
    const QString path = folder.file("site.ini");
    std::optional<IniDocument> doc = IniDocument::load(path);
    ASSERT_TRUE(doc.has_value());
    EXPECT_TRUE(doc->sections().isEmpty());
    ASSERT_TRUE(doc->setValue("Addons", "AutoRun1", "/x"));
    QString error;
    ASSERT_TRUE(doc->save(path, &error)) << error.toStdString();
    EXPECT_EQ(str(readFile(path)), "[Addons]\nAutoRun1=/x\n");
    EXPECT_EQ(folder.entries(), QStringList({"site.ini"})); // no temporary file left
}

TEST(IniDocumentFile, SaveReplacesTheFileAndKeepsItsPermissions) {
    TempFolder folder;
    const QString path = folder.file("site.ini");
    writeFile(path, kSite);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    IniDocument doc = *IniDocument::load(path);
    ASSERT_TRUE(doc.setValue("Last", "x", "2"));
    ASSERT_TRUE(doc.save(path));
    QByteArray expected = kSite;
    expected.replace("x=1", "x=2");
    EXPECT_EQ(str(readFile(path)), str(expected));
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::ReadOther),
              QFile::Permissions(QFile::ReadGroup));
}

TEST(IniDocumentFile, ReadOnlyFolderFailsAndLeavesTheFileAlone) {
    TempFolder folder;
    const QString path = folder.file("site.ini");
    writeFile(path, kSite);
    folder.setReadOnly(true);
    std::optional<IniDocument> doc = IniDocument::load(path);
    ASSERT_TRUE(doc.has_value());
    ASSERT_TRUE(doc->setValue("addons", "AutoRun2", "/x"));
    QString error;
    EXPECT_FALSE(doc->save(path, &error));
    EXPECT_FALSE(error.isEmpty());
    folder.setReadOnly(false);
    EXPECT_EQ(str(readFile(path)), str(kSite));
    EXPECT_EQ(folder.entries(), QStringList({"site.ini"}));
}

TEST(IniDocumentFile, SaveKeepsTheFilesOwnerGroupAndMode) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    TempFolder folder;
    const QString path = folder.file("site.ini");
    writeFile(path, kSite);
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    IniDocument doc = *IniDocument::load(path);
    ASSERT_TRUE(doc.setValue("Last", "x", "2"));
    QString error;
    ASSERT_TRUE(doc.save(path, &error)) << error.toStdString();
    const FileStatus after = statusOf(path);
    EXPECT_EQ(after.uid, 65534u);
    EXPECT_EQ(after.gid, 65534u);
    EXPECT_EQ(after.mode, 0640);
}

TEST(IniDocumentFile, RefusesAnotherUsersFileItWouldTakeOver) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can make a file of another user";
    }
    TempFolder folder;
    const QString path = folder.file("site.ini");
    writeFile(path, kSite);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0666), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0777), 0);
    IniDocument doc = *IniDocument::load(path);
    ASSERT_TRUE(doc.setValue("Last", "x", "2"));
    QString error;
    {
        const ActingAsNobody nobody; // root's file: rewritten it would be nobody's
        EXPECT_FALSE(doc.save(path, &error));
    }
    EXPECT_TRUE(error.contains("belongs to the user root")) << error.toStdString();
    EXPECT_EQ(statusOf(path).uid, 0u);
    EXPECT_EQ(str(readFile(path)), str(kSite));
    EXPECT_EQ(folder.entries(), QStringList({"site.ini"}));
}
