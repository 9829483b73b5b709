// The sources a stream's bytes come from: memory (heap or mapped temporary
// file), a range of an input, and the cipher stage over either.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pdf/io/FileInStream.h"
#include "pdf/io/MemInStream.h"
#include "pdf/io/TempName.h"
#include "pdf/object/TempHugeString.h"
#include "pdf/stream/CPDFCryptSource.h"
#include "pdf/stream/CPDFMemSource.h"
#include "pdf/stream/CPDFRangeSource.h"
#include "support/CryptTestUtil.h"
#include "support/ScratchDir.h"

using corvina::CPDFCryptSource;
using corvina::CPDFMemSource;
using corvina::CPDFRangeSource;
using corvina::CPDFStreamSource;
using corvina::FileInStream;
using corvina::MemInStream;
using corvina::TempHugeString;
using corvina::TempSettings;
namespace detail = corvina::detail;

namespace {

// Bytes that differ at every position, so a piece taken from the wrong
// offset shows.
std::string Pattern(int n) {
    std::string bytes(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return bytes;
}

// Everything a source gives, read in pieces of `piece` bytes.
std::string ReadInPieces(CPDFStreamSource& src, int piece) {
    std::string all;
    std::vector<char> buf(static_cast<size_t>(piece));
    for (int32_t at = 0; at < src.Length();) {
        const int n = src.Read(buf.data(), at, piece);
        if (n <= 0) return all + "<short>";
        all.append(buf.data(), static_cast<size_t>(n));
        at += n;
    }
    return all;
}

std::string ReadAt(CPDFStreamSource& src, int32_t offset, int n) {
    std::string into(static_cast<size_t>(n), '?');
    into.resize(static_cast<size_t>(std::max(0, src.Read(into.data(), offset, n))));
    return into;
}

const unsigned char kContext[10] = {3, 1, 4, 1, 5, 9, 2, 0, 6, 0};
const detail::CryptFilter kKey = corvina::testing::Rc4Context(kContext).streams;

std::string Crypted(const detail::CryptFilter& key, std::string bytes) {
    detail::Rc4(key.key, key.keyLength, reinterpret_cast<unsigned char*>(bytes.data()),
                static_cast<int>(bytes.size()));
    return bytes;
}

}  // namespace

TEST(CPDFStreamSource, MemoryGivesItsBytesAndNothingBeyond) {
    const std::string bytes = Pattern(10000);
    CPDFMemSource mem(bytes.data(), static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(mem.Length(), 10000);
    EXPECT_EQ(mem.Descriptor(), -1);
    for (int piece : {1, 7, 4096, 4097, 20000}) EXPECT_EQ(ReadInPieces(mem, piece), bytes) << piece;
    EXPECT_EQ(ReadAt(mem, 9990, 100), bytes.substr(9990));  // clipped at the end
    EXPECT_EQ(ReadAt(mem, 10000, 1), "");
    EXPECT_EQ(ReadAt(mem, -1, 1), "");
    CPDFMemSource none(nullptr, 5);  // no bytes: empty whatever the length says
    EXPECT_EQ(none.Length(), 0);
    EXPECT_EQ(ReadAt(none, 0, 5), "");
}

TEST(CPDFStreamSource, MemoryInTheMappedTemporaryFile) {
    ScratchDir dir;
    const std::string saved = TempSettings::Directory();
    TempSettings::Directory() = dir.Path() + "/";
    {
        const std::string bytes = Pattern(TempHugeString<char>::kThreshold + 5000);
        TempHugeString<char> data;
        ASSERT_TRUE(data.Assign(bytes.data(), static_cast<int>(bytes.size())));
        ASSERT_TRUE(data.IsMapped());
        CPDFMemSource mem(data.Text(), data.Length());
        EXPECT_EQ(ReadInPieces(mem, 4096), bytes);
        // Across the heap-to-map threshold and a block boundary.
        EXPECT_EQ(ReadAt(mem, TempHugeString<char>::kThreshold - 3, 4100),
                  bytes.substr(TempHugeString<char>::kThreshold - 3, 4100));
    }
    TempSettings::Directory() = saved;
}

TEST(CPDFStreamSource, RangeOfAMemoryInput) {
    const std::string bytes = "head" + Pattern(9000) + "tail";
    MemInStream in(bytes);
    CPDFRangeSource range(in, 4, 9000);
    EXPECT_EQ(range.Length(), 9000);
    EXPECT_EQ(range.Descriptor(), -1);
    EXPECT_EQ(range.FileOffset(0), -1);
    EXPECT_EQ(ReadInPieces(range, 4096), bytes.substr(4, 9000));
    // Out of order, and never past the range.
    EXPECT_EQ(ReadAt(range, 8990, 100), bytes.substr(4 + 8990, 10));
    EXPECT_EQ(ReadAt(range, 0, 4), bytes.substr(4, 4));
    EXPECT_EQ(ReadAt(range, 9000, 4), "");
}

TEST(CPDFStreamSource, RangeOfAFileAcrossTheInputsBuffer) {
    ScratchDir dir;
    const std::string bytes = Pattern(70000);
    const std::string path = dir.Write("data", bytes);
    FileInStream in(4096);
    ASSERT_TRUE(in.Open(path.c_str(), "rb", 0, -1, 4096));
    CPDFRangeSource range(in, 1000, 65000);
    EXPECT_GE(range.Descriptor(), 0);
    EXPECT_EQ(range.FileOffset(10), 1010);
    // Pieces that straddle the input's 4096-byte buffer at every phase.
    for (int piece : {4096, 4095, 4097, 1, 65000}) {
        ASSERT_EQ(ReadInPieces(range, piece), bytes.substr(1000, 65000)) << piece;
    }
    EXPECT_EQ(ReadAt(range, 4090, 20), bytes.substr(5090, 20));
    EXPECT_EQ(ReadAt(range, 64990, 20), bytes.substr(65990, 10));

    // A window that starts inside the file: file offsets count from its start.
    FileInStream window;
    ASSERT_TRUE(window.Open(path.c_str(), "rb", 500, 1000));
    CPDFRangeSource inWindow(window, 100, 50);
    EXPECT_EQ(inWindow.FileOffset(0), 600);
    EXPECT_EQ(ReadAt(inWindow, 0, 50), bytes.substr(600, 50));
}

TEST(CPDFStreamSource, RangeBeyondTheFileReadsShortWithoutHarm) {
    ScratchDir dir;
    const std::string bytes = Pattern(5000);
    const std::string path = dir.Write("data", bytes);
    FileInStream in;
    ASSERT_TRUE(in.Open(path.c_str()));
    CPDFRangeSource tail(in, 4000, 2000);  // ends 1000 bytes past the file
    EXPECT_EQ(tail.Length(), 2000);
    EXPECT_EQ(ReadAt(tail, 0, 2000), bytes.substr(4000));
    EXPECT_EQ(ReadAt(tail, 1500, 100), "");
    CPDFRangeSource past(in, 6000, 10);  // starts past the file
    EXPECT_EQ(ReadAt(past, 0, 10), "");
    CPDFRangeSource negative(in, -1, 10);
    EXPECT_EQ(ReadAt(negative, 0, 10), "");
    // The input is still good for everyone else.
    CPDFRangeSource head(in, 0, 10);
    EXPECT_EQ(ReadAt(head, 0, 10), bytes.substr(0, 10));
    in.Close();
    EXPECT_EQ(ReadAt(head, 0, 10), "");  // a closed input reads nothing
}

TEST(CPDFStreamSource, CipherStageGivesTheBytesOfTheWholeDataCipher) {
    const std::string plain = Pattern(10000);
    const std::string expected = Crypted(kKey, plain);
    CPDFMemSource mem(plain.data(), static_cast<int32_t>(plain.size()));
    for (int piece : {4096, 1, 333, 10000}) {
        CPDFCryptSource stage(mem, kKey, false);
        EXPECT_EQ(stage.Length(), 10000);
        EXPECT_EQ(ReadInPieces(stage, piece), expected) << piece;
    }
    // Decryption is the same stage over the encrypted bytes.
    MemInStream in(expected);
    CPDFRangeSource range(in, 0, static_cast<int32_t>(expected.size()));
    CPDFCryptSource decrypt(range, kKey, false);
    EXPECT_EQ(ReadInPieces(decrypt, 4096), plain);
}

TEST(CPDFStreamSource, CipherStageReadsOutOfOrder) {
    const std::string plain = Pattern(9000);
    const std::string expected = Crypted(kKey, plain);
    CPDFMemSource mem(plain.data(), static_cast<int32_t>(plain.size()));
    CPDFCryptSource stage(mem, kKey, false);
    EXPECT_EQ(ReadAt(stage, 5000, 10), expected.substr(5000, 10));  // ahead: skips
    EXPECT_EQ(ReadAt(stage, 100, 10), expected.substr(100, 10));    // back: restarts
    EXPECT_EQ(ReadAt(stage, 110, 5000), expected.substr(110, 5000));
    EXPECT_EQ(ReadAt(stage, 8995, 100), expected.substr(8995));
    EXPECT_EQ(ReadAt(stage, 9000, 1), "");
    // Stages stack: the cipher twice is the plain data again.
    CPDFCryptSource twice(stage, kKey, false);
    EXPECT_EQ(ReadInPieces(twice, 4096), plain);
}

TEST(CPDFStreamSource, CipherStageOverAShortSourceStopsShort) {
    const std::string bytes = Pattern(3000);
    MemInStream in(bytes);
    CPDFRangeSource range(in, 1000, 4000);  // 2000 bytes past the input
    CPDFCryptSource stage(range, kKey, false);
    EXPECT_EQ(ReadAt(stage, 0, 4000), Crypted(kKey, bytes.substr(1000)));
    EXPECT_EQ(ReadAt(stage, 2500, 10), "");
}

static detail::CryptFilter AesFilter(int keyLength) {
    detail::CryptFilter f;
    f.method = detail::CryptMethod::AES;
    f.keyLength = keyLength;
    for (int k = 0; k < keyLength; ++k) f.key[k] = static_cast<unsigned char>(k * 13 + 1);
    return f;
}

TEST(CPDFStreamSource, AesStagesEncryptInOrderAndDecryptAnywhere) {
    const unsigned char iv[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (int keyLength : {16, 32}) {
        const detail::CryptFilter f = AesFilter(keyLength);
        for (int n : {0, 5, 16, 4096, 10000, 10003}) {
            const std::string plain = Pattern(n);
            std::string expected;
            detail::EncryptData(f, reinterpret_cast<const unsigned char*>(plain.data()), n, iv,
                                expected);
            CPDFMemSource mem(plain.data(), n);
            for (int piece : {4096, 7, 16, 100000}) {
                CPDFCryptSource stage(mem, f, true, iv);
                ASSERT_TRUE(stage.Valid());
                EXPECT_EQ(stage.Length(), static_cast<int32_t>(expected.size()));
                EXPECT_EQ(ReadInPieces(stage, piece), expected) << n << " " << piece;
            }
            // Back to the start, and reads that begin inside a block.
            CPDFCryptSource stage(mem, f, true, iv);
            EXPECT_EQ(ReadAt(stage, 3, 40), expected.substr(3, 40));
            EXPECT_EQ(ReadAt(stage, 0, 20), expected.substr(0, 20));
            // Decryption reads anywhere, and knows the plain length.
            CPDFMemSource cipher(expected.data(), static_cast<int32_t>(expected.size()));
            CPDFCryptSource back(cipher, f, false);
            ASSERT_TRUE(back.Valid());
            EXPECT_EQ(back.Length(), n);
            EXPECT_EQ(ReadInPieces(back, 333), plain);
            if (n > 100) {
                EXPECT_EQ(ReadAt(back, n - 50, 50), plain.substr(static_cast<size_t>(n - 50)));
                EXPECT_EQ(ReadAt(back, 17, 30), plain.substr(17, 30));
            }
        }
    }
}

TEST(CPDFStreamSource, AesDataThatIsNoWholeBlocksIsInvalid) {
    const detail::CryptFilter f = AesFilter(16);
    for (int n : {1, 15, 17, 40}) {
        const std::string bytes = Pattern(n);
        CPDFMemSource mem(bytes.data(), n);
        CPDFCryptSource back(mem, f, false);
        EXPECT_FALSE(back.Valid()) << n;
        EXPECT_EQ(back.Length(), 0);
        EXPECT_EQ(ReadAt(back, 0, 10), "");
    }
    // Nothing, or a lone IV, is empty data.
    for (int n : {0, 16}) {
        const std::string bytes = Pattern(n);
        CPDFMemSource mem(bytes.data(), n);
        CPDFCryptSource back(mem, f, false);
        EXPECT_TRUE(back.Valid());
        EXPECT_EQ(back.Length(), 0);
    }
}
