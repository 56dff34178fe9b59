#include "tessary/Encoding.h"
#include "tessary/Notifier.h"

#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using tessary::BoxAnswer;
using tessary::BoxIcon;
using tessary::DecodeBase64;
using tessary::EncodeBase64;

struct Box {
    std::string title;
    std::string text;
    BoxIcon icon;
    bool question;
};

// Records every box and answers questions from a queue (OK once it runs dry).
class RecordingNotifier : public tessary::Notifier {
public:
    std::vector<Box> boxes;
    std::deque<BoxAnswer> answers;
    bool throwOnQuestion = false;

    void ShowMessage(const std::string& title, const std::string& text, BoxIcon icon) override {
        boxes.push_back({title, text, icon, false});
    }
    BoxAnswer AskOkCancel(const std::string& title, const std::string& text,
                          BoxIcon icon) override {
        boxes.push_back({title, text, icon, true});
        if (throwOnQuestion)
            throw std::runtime_error("the box could not be shown");
        if (answers.empty())
            return BoxAnswer::Ok;
        const BoxAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

class EncodingBase64Test : public ::testing::Test {
protected:
    void SetUp() override { tessary::SetNotifier(notifier); }
    void TearDown() override { tessary::SetNotifier(nullptr); }

    std::shared_ptr<RecordingNotifier> notifier = std::make_shared<RecordingNotifier>();
};

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(n, '\0');
    for (auto& b : bytes)
        b = static_cast<char>(rng() & 0xFF);
    return bytes;
}

std::string AllByteValues() {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    return bytes;
}

std::string WithoutLineBreaks(std::string text) {
    std::erase(text, '\r');
    std::erase(text, '\n');
    return text;
}

TEST_F(EncodingBase64Test, EncodesRfc4648Vectors) {
    EXPECT_EQ(EncodeBase64(""), "");
    EXPECT_EQ(EncodeBase64("f"), "Zg==");
    EXPECT_EQ(EncodeBase64("fo"), "Zm8=");
    EXPECT_EQ(EncodeBase64("foo"), "Zm9v");
    EXPECT_EQ(EncodeBase64("foob"), "Zm9vYg==");
    EXPECT_EQ(EncodeBase64("fooba"), "Zm9vYmE=");
    EXPECT_EQ(EncodeBase64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(EncodeBase64(std::string("\0\0\0", 3)), "AAAA");
    EXPECT_EQ(EncodeBase64("\xFF\xFF\xFF"), "////");
    EXPECT_EQ(EncodeBase64("\xFB\xEF\xBE"), "++++");
    EXPECT_TRUE(notifier->boxes.empty());
}

TEST_F(EncodingBase64Test, BreaksLineAfterEverySixtyFourCharacters) {
    const std::string line = EncodeBase64(std::string(48, 'x'));
    ASSERT_EQ(line.size(), 66u);
    EXPECT_EQ(line.substr(64), "\r\n");
    EXPECT_EQ(line.find('\r'), 64u);

    // One byte more: the full line, then a last group of one byte.
    const std::string more = EncodeBase64(std::string(49, 'x'));
    ASSERT_EQ(more.size(), 70u);
    EXPECT_EQ(more.substr(0, 66), line);
    EXPECT_EQ(more.substr(66), "eA==");

    // 46 and 47 bytes also fill the line (with padding), so the break follows.
    for (std::size_t n : {46u, 47u}) {
        const std::string padded = EncodeBase64(std::string(n, 'x'));
        ASSERT_EQ(padded.size(), 66u) << n;
        EXPECT_EQ(padded.substr(60), n == 46 ? "eA==\r\n" : "eHg=\r\n");
    }
    EXPECT_EQ(EncodeBase64(std::string(45, 'x')).size(), 60u);
    EXPECT_EQ(EncodeBase64(std::string(96, 'x')).size(), 132u);
}

TEST_F(EncodingBase64Test, EveryLengthHasFullLinesAndLeavesNoRemainderUnbroken) {
    const std::string data = RandomBytes(400, 1);
    for (std::size_t n = 0; n <= data.size(); ++n) {
        const std::string text = EncodeBase64(std::string_view(data).substr(0, n));
        const std::size_t chars = (n + 2) / 3 * 4;
        ASSERT_EQ(text.size(), chars + chars / 64 * 2) << n;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const bool breakPosition = i % 66 >= 64;
            ASSERT_EQ(text[i] == '\r' || text[i] == '\n', breakPosition) << n << " at " << i;
        }
        const std::string flat = WithoutLineBreaks(text);
        const std::size_t padding = (3 - n % 3) % 3;
        ASSERT_EQ(flat.find('='), padding == 0 ? std::string::npos : flat.size() - padding) << n;
        ASSERT_EQ(DecodeBase64(text), data.substr(0, n)) << n;
    }
    EXPECT_TRUE(notifier->boxes.empty());
}

TEST_F(EncodingBase64Test, RoundTripsAllByteValuesAndLargeInput) {
    const std::string all = AllByteValues();
    EXPECT_EQ(DecodeBase64(EncodeBase64(all)), all);

    const std::string large = RandomBytes(3 * 1024 * 1024 + 7, 2);
    const std::string text = EncodeBase64(large);
    EXPECT_EQ(text.size(), (large.size() + 2) / 3 * 4 + (large.size() + 2) / 3 * 4 / 64 * 2);
    EXPECT_EQ(DecodeBase64(text), large);
    // The decoder does not depend on our own line layout.
    EXPECT_EQ(DecodeBase64(WithoutLineBreaks(text)), large);
    EXPECT_TRUE(notifier->boxes.empty());
}

TEST_F(EncodingBase64Test, DecodeIgnoresWhiteSpaceAnywhere) {
    EXPECT_EQ(DecodeBase64("Zm9v\r\nYm Fy\t"), "foobar");
    EXPECT_EQ(DecodeBase64(" Z m 9 v "), "foo");
    EXPECT_EQ(DecodeBase64("\r\n\t "), "");
    EXPECT_EQ(DecodeBase64(""), "");
    EXPECT_EQ(DecodeBase64("Zm\n8="), "fo");
    EXPECT_TRUE(notifier->boxes.empty());
}

TEST_F(EncodingBase64Test, DecodeFillsShortLastGroupWithPadding) {
    EXPECT_EQ(DecodeBase64("Zm9vYg"), "foob");
    EXPECT_EQ(DecodeBase64("Zm9vYmE"), "fooba");
    EXPECT_EQ(DecodeBase64("Zm9vYg="), "foob");
    EXPECT_TRUE(notifier->boxes.empty());

    // A single character left over cannot hold a byte: its group is illegal.
    EXPECT_EQ(DecodeBase64("Zm9vY"), "foo???");
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_EQ(notifier->boxes[0].text, "Illegal Characters <Y===> found");
}

TEST_F(EncodingBase64Test, DecodeAcceptsPaddedGroupsInTheMiddle) {
    // Concatenated encodings: each padded group ends its own piece.
    EXPECT_EQ(DecodeBase64("QQ==QUJD"), "AABC");
    EXPECT_EQ(DecodeBase64("QUI=\r\nQw=="), "ABC");
    EXPECT_TRUE(notifier->boxes.empty());
}

TEST_F(EncodingBase64Test, IllegalGroupAnsweredOkLeavesMarkAndGoesOn) {
    EXPECT_EQ(DecodeBase64("Zm9v=Zm9YmFy"), "foo???bar");
    ASSERT_EQ(notifier->boxes.size(), 1u);
    const Box& box = notifier->boxes[0];
    EXPECT_TRUE(box.question);
    EXPECT_EQ(box.title, "PROGRAM ERROR");
    EXPECT_EQ(box.text, "Illegal Characters <=Zm9> found");
    EXPECT_EQ(box.icon, BoxIcon::None);
}

TEST_F(EncodingBase64Test, IllegalGroupAnsweredCancelReturnsWhatWasDecoded) {
    notifier->answers = {BoxAnswer::Cancel};
    EXPECT_EQ(DecodeBase64("Zm9vYmFy\r\nZ*9vYmFy"), "foobar");
    ASSERT_EQ(notifier->boxes.size(), 1u);
    EXPECT_EQ(notifier->boxes[0].text, "Illegal Characters <Z*9v> found");

    notifier->boxes.clear();
    notifier->answers = {BoxAnswer::Cancel};
    EXPECT_EQ(DecodeBase64("-_-_Zm9v"), "");
    EXPECT_EQ(notifier->boxes.size(), 1u);
}

TEST_F(EncodingBase64Test, EveryIllegalGroupIsAskedAbout) {
    notifier->answers = {BoxAnswer::Ok, BoxAnswer::Cancel};
    EXPECT_EQ(DecodeBase64("Zm9v\xC3\xA9xxZm9vab=cYmFy"), "foo???foo");
    ASSERT_EQ(notifier->boxes.size(), 2u);
    EXPECT_EQ(notifier->boxes[0].text, "Illegal Characters <\xC3\xA9xx> found");
    // "=" followed by a data character is not padding.
    EXPECT_EQ(notifier->boxes[1].text, "Illegal Characters <ab=c> found");

    notifier->boxes.clear();
    EXPECT_EQ(DecodeBase64("A=AAZm9v"), "???foo");
    EXPECT_EQ(DecodeBase64("====Zm9v"), "???foo");
    EXPECT_EQ(notifier->boxes.size(), 2u);
}

TEST_F(EncodingBase64Test, FailureIsReportedUnderTheStepNameAndGivesEmptyText) {
    notifier->throwOnQuestion = true;
    EXPECT_EQ(DecodeBase64("Zm9v!!!!"), "");
    ASSERT_EQ(notifier->boxes.size(), 2u);
    const Box& report = notifier->boxes[1];
    EXPECT_EQ(report.title, "Tessary Error");
    EXPECT_EQ(report.icon, BoxIcon::Critical);
    EXPECT_NE(report.text.find("Error Section: sBase64Decode\r\n"), std::string::npos);
    EXPECT_NE(report.text.find("Error Description: the box could not be shown"), std::string::npos);
}

} // namespace
