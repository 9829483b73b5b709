// The job on encrypted input: opened with the empty user password or -pw,
// written encrypted the same way, untouched objects carried over as their
// encrypted bytes, and the refusals the tool reports.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/E2E.h"
#include "support/E2EPdf.h"

namespace {

using e2e::Linkpoint;
using e2e::RunResult;

class LinkpointEncryptedTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!e2e::Have("qpdf") || !e2e::Have("pdfinfo")) GTEST_SKIP() << "qpdf or pdfinfo missing";
        plain_ = dir_.Write("plain.pdf", E2EPdf::Flat(4));
    }
    std::string Encrypt(const std::vector<std::string>& how, const std::string& name) {
        std::vector<std::string> args = {"--allow-weak-crypto", "--object-streams=disable",
                                         "--encrypt"};
        args.insert(args.end(), how.begin(), how.end());
        args.push_back("--");
        return e2e::QpdfRewrite(plain_, dir_.File(name), args);
    }
    ScratchDir dir_;
    std::string plain_;
};

std::string ShownEncryption(const std::string& file, const std::string& password) {
    return e2e::Run({"qpdf", "--password=" + password, "--show-encryption", file}).out;
}

// The bytes of "num 0 obj ... endobj" in a file, "" when it is not there.
std::string ObjectBytes(const std::string& file, int num) {
    const std::string bytes = e2e::ReadBytes(file);
    const std::string head = "\n" + std::to_string(num) + " 0 obj";
    const size_t at = bytes.find(head);
    if (at == std::string::npos) return "";
    const size_t end = bytes.find("endobj", at);
    return end == std::string::npos ? "" : bytes.substr(at + 1, end - at - 1);
}

// Lines of `pdfinfo -dests` that name a destination, with the password
// (the owner's is "o").
int DestCount(const std::string& file, const std::string& password) {
    const std::string flag = password == "o" ? "-opw" : "-upw";
    const RunResult r = e2e::Run({"pdfinfo", flag, password, "-dests", file});
    if (r.code != 0) return -1;
    int n = 0;
    const std::regex line("^ +[0-9]+ \\[ XYZ.*\"[0-9]+\"$");
    for (const std::string& l : e2e::Lines(r.out))
        if (std::regex_match(l, line)) ++n;
    return n;
}

TEST_F(LinkpointEncryptedTest, EveryHandlerIsDoneAndKeepsItsEncryption) {
    const std::vector<std::vector<std::string>> handlers = {
        {"40"}, {"128", "--use-aes=n"}, {"128", "--use-aes=y"}, {"256"}};
    for (const auto& bits : handlers) {
        for (const std::string user : {"", "u"}) {
            std::vector<std::string> how = {user, "o"};
            how.insert(how.end(), bits.begin(), bits.end());
            const std::string enc = Encrypt(how, "enc.pdf");
            ASSERT_FALSE(enc.empty());
            const std::string what =
                bits[0] + (bits.size() > 1 ? bits[1] : "") + " user '" + user + "'";
            const std::string out = dir_.File("out.pdf");
            std::vector<std::string> args = {enc, out};
            if (!user.empty()) args.insert(args.end(), {"-pw", user});
            const RunResult r = Linkpoint(args);
            ASSERT_EQ(r.code, 0) << what << "\n" << r.out;
            EXPECT_EQ(e2e::CheckSuccessLog(r.out, enc, out), "") << what;
            for (const std::string& password : {user, std::string("o")}) {
                const RunResult check =
                    e2e::Run({"qpdf", "--check", "--password=" + password, out});
                EXPECT_EQ(check.code, 0) << what << check.out << check.err;
                EXPECT_EQ(ShownEncryption(out, password), ShownEncryption(enc, password)) << what;
                EXPECT_EQ(DestCount(out, password), 4) << what;
            }
            // The page contents were not touched: their encrypted bytes are
            // the input's.
            int compared = 0;
            for (int num = 1; num < 30; ++num) {
                const std::string in = ObjectBytes(enc, num);
                if (in.find("/Length") == std::string::npos) continue;
                EXPECT_EQ(ObjectBytes(out, num), in) << what << " object " << num;
                ++compared;
            }
            EXPECT_GE(compared, 1) << what;
        }
    }
}

TEST_F(LinkpointEncryptedTest, PasswordsAndPermissionsAreReportedClearly) {
    const std::string enc = Encrypt({"u", "o", "256"}, "enc.pdf");
    ASSERT_FALSE(enc.empty());
    const std::string bytes = e2e::ReadBytes(enc);
    struct Case {
        std::vector<std::string> extra;
        const char* factor;
    };
    const Case cases[] = {
        {{}, "encrypted document: a password is needed (-pw)"},
        {{"-pw", "wrong"}, "incorrect password"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {enc};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const RunResult r = Linkpoint(args);
        EXPECT_EQ(r.code, 1);
        const auto lines = e2e::Lines(r.out);
        ASSERT_EQ(lines.size(), 8u) << r.out;
        EXPECT_EQ(lines[3], "%%[ Error: cannot open PDF Document: " + enc + " ]%%");
        EXPECT_EQ(lines[4], "Module: CPDFDoc");
        EXPECT_EQ(lines[6], "Type: User Error");
        EXPECT_EQ(lines[7], std::string("Factor: ") + c.factor);
        EXPECT_EQ(e2e::ReadBytes(enc), bytes);
    }

    // Changes forbidden: refused with the user password (or none), done with
    // the owner's.
    const std::string locked = Encrypt({"", "o", "128", "--modify=none"}, "locked.pdf");
    ASSERT_FALSE(locked.empty());
    const std::string lockedBytes = e2e::ReadBytes(locked);
    const RunResult refused = Linkpoint({locked});
    EXPECT_EQ(refused.code, 1);
    const auto lines = e2e::Lines(refused.out);
    ASSERT_EQ(lines.size(), 8u) << refused.out;
    EXPECT_EQ(lines[3], "%%[ Error: cannot change PDF Document: " + locked + " ]%%");
    EXPECT_EQ(lines[4], "Module: CPDFDriver");
    EXPECT_EQ(lines[6], "Type: User Error");
    EXPECT_EQ(lines[7],
              "Factor: the document's permissions do not allow changes: give the owner password "
              "(-pw)");
    EXPECT_EQ(e2e::ReadBytes(locked), lockedBytes);
    const RunResult done = Linkpoint({locked, "-pw", "o"});
    ASSERT_EQ(done.code, 0) << done.out;
    EXPECT_EQ(DestCount(locked, ""), 4);
    EXPECT_EQ(
        ShownEncryption(locked, "o").find("modify anything: not allowed") != std::string::npos,
        true);
}

}  // namespace
