// Flate and DCT through the stream's filters, each beside the bare library
// call on the same bytes, so the cost of the filter framework (pieces,
// callbacks, the growing result) shows as the ratio of the two.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/stream/CPDFStream.h"

using corvina::CPDFStream;

namespace {

constexpr size_t kSize = 4 << 20;

std::string TextLike() {
    std::string s;
    for (int i = 0; s.size() < kSize; ++i)
        s += "BT /F1 12 Tf " + std::to_string(i * 37 % 1000) + " " + std::to_string(i % 700) +
             " Td (word " + std::to_string(i * 7919 % 100000) + " and more words) Tj ET\n";
    s.resize(kSize);
    return s;
}

std::string Random() {
    std::string s(kSize, '\0');
    uint32_t x = 2463534242u;
    for (auto& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return s;
}

// 0: text, 1: random, 2: text small enough to stay on the heap (below the
// 40960 bytes at which stream data moves into a mapped temporary file), so
// the framework's own cost shows apart from the file's.
const std::string& Input(int kind) {
    static const std::string text = TextLike(), random = Random(), small = text.substr(0, 36000);
    return kind == 0 ? text : kind == 1 ? random : small;
}

const std::string& Deflated(int kind) {
    static std::string packed[3];
    std::string& p = packed[kind];
    if (p.empty()) {
        const std::string& in = Input(kind);
        uLongf n = compressBound(static_cast<uLong>(in.size()));
        p.resize(n);
        compress2(reinterpret_cast<Bytef*>(p.data()), &n, reinterpret_cast<const Bytef*>(in.data()),
                  static_cast<uLong>(in.size()), Z_DEFAULT_COMPRESSION);
        p.resize(n);
    }
    return p;
}

void Label(benchmark::State& state) {
    static const char* const kNames[] = {"text", "random", "small text"};
    state.SetLabel(kNames[state.range(0)]);
}

int64_t Size(benchmark::State& state) {
    return static_cast<int64_t>(Input(static_cast<int>(state.range(0))).size());
}

void FlateDecodeStream(benchmark::State& state) {
    const std::string& packed = Deflated(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        CPDFStream s;
        s.SetData(packed.data(), static_cast<int32_t>(packed.size()));
        state.ResumeTiming();
        if (!s.DecodeFlate(nullptr, nullptr)) state.SkipWithError("DecodeFlate failed");
        benchmark::DoNotOptimize(s.GetData());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * Size(state));
    Label(state);
}

void FlateDecodeZlib(benchmark::State& state) {
    const std::string& packed = Deflated(static_cast<int>(state.range(0)));
    std::vector<char> out(static_cast<size_t>(Size(state)));
    for (auto _ : state) {
        z_stream z{};
        inflateInit(&z);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
        z.avail_in = static_cast<uInt>(packed.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
        inflateEnd(&z);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * Size(state));
    Label(state);
}

void FlateEncodeStream(benchmark::State& state) {
    const std::string& in = Input(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        CPDFStream s;
        s.SetData(in.data(), static_cast<int32_t>(in.size()));
        state.ResumeTiming();
        if (!s.EncodeFlate(nullptr)) state.SkipWithError("EncodeFlate failed");
        benchmark::DoNotOptimize(s.GetData());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * Size(state));
    Label(state);
}

void FlateEncodeZlib(benchmark::State& state) {
    const std::string& in = Input(static_cast<int>(state.range(0)));
    std::vector<char> out(compressBound(static_cast<uLong>(in.size())));
    for (auto _ : state) {
        z_stream z{};
        deflateInit(&z, Z_DEFAULT_COMPRESSION);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        z.avail_in = static_cast<uInt>(in.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        if (deflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("deflate failed");
        deflateEnd(&z);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * Size(state));
    Label(state);
}

// A 1024 x 1024 RGB picture of smooth gradients with some texture, and its
// JPEG made by the bare library at linear quality 50 (quality 75).
constexpr int kSide = 1024;

const std::string& Pixels() {
    static std::string p;
    if (p.empty()) {
        p.resize(static_cast<size_t>(kSide) * kSide * 3);
        uint32_t x = 1;
        for (size_t i = 0; i < p.size(); ++i) {
            x = x * 1103515245 + 12345;
            const size_t px = i / 3 % kSide, py = i / 3 / kSide;
            p[i] = static_cast<char>((px * (i % 3 + 1) + py) / 5 + (x >> 29));
        }
    }
    return p;
}

std::string JpegEncode(const std::string& pixels) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buf, &size);
    c.image_width = kSide;
    c.image_height = kSide;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_linear_quality(&c, 50, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(const_cast<char*>(pixels.data())) +
                       static_cast<size_t>(c.next_scanline) * kSide * 3;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string out(reinterpret_cast<char*>(buf), size);
    std::free(buf);
    return out;
}

const std::string& Jpeg() {
    static const std::string j = JpegEncode(Pixels());
    return j;
}

void ImageDict(CPDFStream& s) {
    s.Insert("Width", std::make_unique<corvina::CPDFInt>(kSide));
    s.Insert("Height", std::make_unique<corvina::CPDFInt>(kSide));
    s.Insert("BitsPerComponent", std::make_unique<corvina::CPDFInt>(8));
    s.Insert("ColorSpace", std::make_unique<corvina::CPDFName>("DeviceRGB"));
}

void DCTDecodeStream(benchmark::State& state) {
    const std::string& jpeg = Jpeg();
    for (auto _ : state) {
        state.PauseTiming();
        CPDFStream s;
        ImageDict(s);
        s.SetData(jpeg.data(), static_cast<int32_t>(jpeg.size()));
        state.ResumeTiming();
        if (!s.DecodeDCT(nullptr, nullptr)) {
            state.SkipWithError("DecodeDCT failed (is the DCT filter built?)");
            break;
        }
        benchmark::DoNotOptimize(s.GetData());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Pixels().size()));
}

void DCTDecodeLibjpeg(benchmark::State& state) {
    const std::string& jpeg = Jpeg();
    std::vector<unsigned char> out(Pixels().size());
    for (auto _ : state) {
        jpeg_decompress_struct d{};
        jpeg_error_mgr err{};
        d.err = jpeg_std_error(&err);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
        jpeg_read_header(&d, TRUE);
        jpeg_start_decompress(&d);
        while (d.output_scanline < d.output_height) {
            JSAMPROW row = out.data() + static_cast<size_t>(d.output_scanline) * kSide * 3;
            jpeg_read_scanlines(&d, &row, 1);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Pixels().size()));
}

void DCTEncodeStream(benchmark::State& state) {
    const std::string& pixels = Pixels();
    for (auto _ : state) {
        state.PauseTiming();
        CPDFStream s;
        ImageDict(s);
        s.SetData(pixels.data(), static_cast<int32_t>(pixels.size()));
        state.ResumeTiming();
        if (!s.EncodeDCT(50, nullptr)) {
            state.SkipWithError("EncodeDCT failed (is the DCT filter built?)");
            break;
        }
        benchmark::DoNotOptimize(s.GetData());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pixels.size()));
}

void DCTEncodeLibjpeg(benchmark::State& state) {
    const std::string& pixels = Pixels();
    for (auto _ : state) benchmark::DoNotOptimize(JpegEncode(pixels));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pixels.size()));
}

}  // namespace

BENCHMARK(FlateDecodeStream)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(FlateDecodeZlib)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(FlateEncodeStream)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(FlateEncodeZlib)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(DCTDecodeStream)->Unit(benchmark::kMillisecond);
BENCHMARK(DCTDecodeLibjpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(DCTEncodeStream)->Unit(benchmark::kMillisecond);
BENCHMARK(DCTEncodeLibjpeg)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
