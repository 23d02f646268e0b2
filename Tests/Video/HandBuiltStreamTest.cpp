// Prediction modes that ffmpeg does not encode (field pictures, 16x8, dual
// prime) and other paths checked on hand-built streams: the expected frames
// come from the prediction formulas applied sample by sample, and ffmpeg's
// decoding of the same stream is compared as a second opinion.

#include "Tests/Video/StreamWriter.h"
#include "Tests/Video/VideoTestSupport.h"

#include "Libs/Common/Exception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace VideoTest;

namespace {

// A frame as the test expects it, at its coded size (4:2:0).
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> planes[3];

    Frame(int w, int h) : width(w), height(h)
    {
        planes[0].assign(size_t(w) * h, 0);
        planes[1].assign(size_t(w / 2) * (h / 2), 128);
        planes[2].assign(size_t(w / 2) * (h / 2), 128);
    }
    int planeWidth(int p) const { return p ? width / 2 : width; }
    int planeHeight(int p) const { return p ? height / 2 : height; }
    // field -1: frame rows; 0 or 1: the rows of that field.
    uint8_t& at(int p, int field, int x, int y)
    {
        int row = field < 0 ? y : 2 * y + field;
        return planes[p][size_t(row) * planeWidth(p) + x];
    }
    int at(int p, int field, int x, int y) const { return const_cast<Frame*>(this)->at(p, field, x, y); }

    YuvFrame yuv() const
    {
        YuvFrame f;
        f.width = width;
        f.height = height;
        f.chromaWidth = width / 2;
        f.chromaHeight = height / 2;
        for (int p = 0; p < 3; ++p)
            f.planes[p] = planes[p];
        return f;
    }
};

int floorHalf(int v)
{
    return v >= 0 ? v / 2 : -((-v + 1) / 2);
}

// A sample at half-sample position (x2 / 2, y2 / 2) of a frame or field.
int halfSample(const Frame& ref, int p, int field, int x2, int y2)
{
    int x = floorHalf(x2), y = floorHalf(y2);
    bool halfX = x2 % 2 != 0, halfY = y2 % 2 != 0;
    if (!halfX && !halfY)
        return ref.at(p, field, x, y);
    if (halfX && !halfY)
        return (ref.at(p, field, x, y) + ref.at(p, field, x + 1, y) + 1) / 2;
    if (!halfX && halfY)
        return (ref.at(p, field, x, y) + ref.at(p, field, x, y + 1) + 1) / 2;
    return (ref.at(p, field, x, y) + ref.at(p, field, x + 1, y) + ref.at(p, field, x, y + 1) +
            ref.at(p, field, x + 1, y + 1) + 2) / 4;
}

struct Area {
    int x, y, w, h, mvx, mvy;
};

// The luma area of a prediction and its chroma counterpart: half position and
// size, vectors halved with truncation toward zero.
Area planeArea(int p, int bx, int by, int lumaHeight, int mvx, int mvy)
{
    if (p == 0)
        return {bx, by, 16, lumaHeight, mvx, mvy};
    return {bx / 2, by / 2, 8, lumaHeight / 2, mvx / 2, mvy / 2};
}

// Prediction of one macroblock part, copied or averaged into `out`.
void predict(Frame& out, int outField, const Frame& ref, int refField, int bx, int by, int lumaHeight, int mvx,
             int mvy, bool average)
{
    for (int p = 0; p < 3; ++p) {
        Area a = planeArea(p, bx, by, lumaHeight, mvx, mvy);
        for (int j = 0; j < a.h; ++j)
            for (int i = 0; i < a.w; ++i) {
                int value = halfSample(ref, p, refField, 2 * (a.x + i) + a.mvx, 2 * (a.y + j) + a.mvy);
                uint8_t& target = out.at(p, outField, a.x + i, a.y + j);
                target = static_cast<uint8_t>(average ? (target + value + 1) / 2 : value);
            }
    }
}

// Whether a prediction reads inside the reference in every plane.
bool inside(const Frame& ref, int refField, int bx, int by, int lumaHeight, int mvx, int mvy)
{
    for (int p = 0; p < 3; ++p) {
        Area a = planeArea(p, bx, by, lumaHeight, mvx, mvy);
        int height = refField < 0 ? ref.planeHeight(p) : ref.planeHeight(p) / 2;
        int x = a.x + floorHalf(a.mvx), y = a.y + floorHalf(a.mvy);
        if (x < 0 || y < 0 || x + a.w + (a.mvx & 1) > ref.planeWidth(p) || y + a.h + (a.mvy & 1) > height)
            return false;
    }
    return true;
}

void fillIntra(Frame& out, int field, int mbx, int mby, const std::vector<int>& dc)
{
    for (int b = 0; b < 6; ++b) {
        int p = b < 4 ? 0 : b - 3;
        int x = p ? 8 * mbx : 16 * mbx + 8 * (b & 1);
        int y = p ? 8 * mby : 16 * mby + 8 * (b >> 1);
        for (int j = 0; j < 8; ++j)
            for (int i = 0; i < 8; ++i)
                out.at(p, field, x + i, y + j) = static_cast<uint8_t>(128 + dc[size_t(b)]);
    }
}

// Rounding of v / 2 to nearest, halves away from zero.
int roundHalf(int v)
{
    return v >= 0 ? (v + 1) / 2 : -((-v + 1) / 2);
}

class HandBuilt {
public:
    HandBuilt(const SequenceOptions& options, unsigned seed) : writer(options), random(seed) {}

    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

    std::vector<int> randomDc()
    {
        std::vector<int> dc(6);
        for (int& v : dc)
            v = uniform(-100, 100);
        return dc;
    }

    // A picture (or field) of intra macroblocks with random DC values,
    // recorded in `out`.
    void intraMacroblocks(Frame& out, int field, int mbWidth, int mbHeight)
    {
        for (int mby = 0; mby < mbHeight; ++mby)
            for (int mbx = 0; mbx < mbWidth; ++mbx) {
                std::vector<int> dc = randomDc();
                writer.intraMacroblock(mbx, mby, dc);
                fillIntra(out, field, mbx, mby, dc);
            }
    }

    // A random vector r of direction s whose prediction stays inside the
    // reference field (or frame: -1), set in `motion` with its field select;
    // the prediction is made in `out`.
    void randomPrediction(Motion& motion, int r, int s, Frame& out, int outField, const Frame& reference,
                          int referenceField, int bx, int by, int lumaHeight, bool average)
    {
        auto [mvx, mvy] = vector(reference, referenceField, bx, by, lumaHeight);
        motion.fieldSelect[r][s] = std::max(referenceField, 0);
        motion.vector[r][s][0] = mvx;
        motion.vector[r][s][1] = mvy;
        predict(out, outField, reference, referenceField, bx, by, lumaHeight, mvx, mvy, average);
    }

    // A random vector whose prediction stays inside the reference.
    std::pair<int, int> vector(const Frame& ref, int refField, int bx, int by, int lumaHeight)
    {
        for (;;) {
            int mvx = uniform(-20, 20), mvy = uniform(-12, 12);
            if (inside(ref, refField, bx, by, lumaHeight, mvx, mvy))
                return {mvx, mvy};
        }
    }

    StreamWriter writer;
    std::mt19937 random;
};

void expectDecoded(const DecodedStream& decoded, const std::vector<Frame>& expected)
{
    ASSERT_EQ(decoded.frames.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(maxDifference(decoded.frames[i], expected[i].yuv()), 0) << "frame " << i;
}

void expectFrames(const DecodedStream& decoded, const std::vector<Frame>& expected, const std::string& stream)
{
    ASSERT_NO_FATAL_FAILURE(expectDecoded(decoded, expected));
    // ffmpeg reads the same stream the same way.
    std::vector<YuvFrame> ffmpeg = ffmpegFrames(stream, "yuv420p", expected[0].width, expected[0].height);
    ASSERT_EQ(ffmpeg.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(maxDifference(ffmpeg[i], expected[i].yuv()), 0) << "ffmpeg frame " << i;
}

} // namespace

// An I frame and a P frame as field pairs, then a B frame as a field pair:
// field prediction from either parity (the second P field also from the first
// field of its own frame), 16x8 prediction and dual prime.
TEST(HandBuiltStreamTest, FieldPicturesWithFieldAnd16x8AndDualPrimePrediction)
{
    const int width = 64, height = 64;
    HandBuilt built({width, height, true, 0, 1, -1}, 42);
    StreamWriter& w = built.writer;
    w.sequenceHeader();
    w.groupOfPictures();

    Frame intra(width, height), predicted(width, height), bidirectional(width, height);
    for (int field = 0; field < 2; ++field) {
        PictureOptions options;
        options.type = 1;
        options.structure = field ? 2 : 1;
        w.picture(options);
        built.intraMacroblocks(intra, field, 4, 2);
    }

    for (int field = 0; field < 2; ++field) {
        PictureOptions options;
        options.type = 2;
        options.structure = field ? 2 : 1;
        w.picture(options);
        for (int mby = 0; mby < 2; ++mby)
            for (int mbx = 0; mbx < 4; ++mbx) {
                const int bx = 16 * mbx, by = 16 * mby;
                // A field of the reference frame, or of this frame for the
                // opposite parity when this is the second field.
                auto reference = [&](int select) -> const Frame& {
                    return field == 1 && select != field ? predicted : intra;
                };
                Motion motion;
                motion.type = "forward";
                switch ((mbx + 2 * mby + field) % 4) {
                case 0:
                case 1: {
                    motion.motionType = 1;
                    int select = (mbx + mby) % 2;
                    built.randomPrediction(motion, 0, 0, predicted, field, reference(select), select, bx, by, 16,
                                           false);
                    break;
                }
                case 2: {
                    motion.motionType = 2;
                    for (int half = 0; half < 2; ++half) {
                        int select = built.uniform(0, 1);
                        built.randomPrediction(motion, half, 0, predicted, field, reference(select), select, bx,
                                               by + 8 * half, 8, false);
                    }
                    break;
                }
                default: {
                    motion.motionType = 3;
                    const int opposite = 1 - field;
                    for (;;) {
                        auto [mvx, mvy] = built.vector(intra, field, bx, by, 16);
                        int dmx = built.uniform(-1, 1), dmy = built.uniform(-1, 1);
                        // The opposite field is one field period away: half the
                        // vector, shifted by half a line towards it.
                        int ox = roundHalf(mvx) + dmx;
                        int oy = roundHalf(mvy) + dmy + (field == 0 ? -1 : 1);
                        if (!inside(reference(opposite), opposite, bx, by, 16, ox, oy))
                            continue;
                        motion.vector[0][0][0] = mvx;
                        motion.vector[0][0][1] = mvy;
                        motion.dmvector[0] = dmx;
                        motion.dmvector[1] = dmy;
                        predict(predicted, field, intra, field, bx, by, 16, mvx, mvy, false);
                        predict(predicted, field, reference(opposite), opposite, bx, by, 16, ox, oy, true);
                        break;
                    }
                    break;
                }
                }
                w.predictedMacroblock(mbx, mby, motion);
            }
    }

    for (int field = 0; field < 2; ++field) {
        PictureOptions options;
        options.type = 3;
        options.structure = field ? 2 : 1;
        w.picture(options);
        for (int mby = 0; mby < 2; ++mby)
            for (int mbx = 0; mbx < 4; ++mbx) {
                const int bx = 16 * mbx, by = 16 * mby;
                Motion motion;
                const int kind = (mbx + mby + field) % 4;
                motion.type = kind == 0 ? "forward" : kind == 1 ? "backward" : "forward+backward";
                motion.motionType = kind == 3 ? 2 : 1;
                for (int s = 0; s < 2; ++s) {
                    if ((s == 0 && kind == 1) || (s == 1 && kind == 0))
                        continue;
                    const Frame& reference = s == 0 ? intra : predicted;
                    const bool average = s == 1 && kind != 1;
                    const int parts = motion.motionType == 2 ? 2 : 1;
                    for (int part = 0; part < parts; ++part) {
                        int select = built.uniform(0, 1);
                        int partHeight = parts == 2 ? 8 : 16;
                        built.randomPrediction(motion, part, s, bidirectional, field, reference, select, bx,
                                               by + 8 * part, partHeight, average);
                    }
                }
                w.predictedMacroblock(mbx, mby, motion);
            }
    }
    w.sequenceEnd();

    std::string stream = writeFile("field-pictures.m2v", w.bytes());
    DecodedStream decoded = decodeFile(stream, width, height);
    EXPECT_EQ(decoded.pictures, 6);
    expectFrames(decoded, {intra, bidirectional, predicted}, stream);
}

namespace {

void framePicturesWithFieldPrediction(int topFieldFirst)
{
    const int width = 64, height = 64;
    HandBuilt built({width, height, true, 0, 1, -1}, 7 + unsigned(topFieldFirst));
    StreamWriter& w = built.writer;
    w.sequenceHeader();
    w.groupOfPictures();

    PictureOptions options;
    options.framePredFrameDct = 0;
    options.topFieldFirst = topFieldFirst;
    Frame intra(width, height), predicted(width, height), bidirectional(width, height);
    options.type = 1;
    w.picture(options);
    built.intraMacroblocks(intra, -1, 4, 4);

    options.type = 2;
    w.picture(options);
    for (int mby = 0; mby < 4; ++mby)
        for (int mbx = 0; mbx < 4; ++mbx) {
            const int bx = 16 * mbx, by = 16 * mby;
            Motion motion;
            switch ((mbx + mby) % 3) {
            case 0: {
                motion.motionType = 2;
                built.randomPrediction(motion, 0, 0, predicted, -1, intra, -1, bx, by, 16, false);
                break;
            }
            case 1: {
                motion.motionType = 1;
                for (int field = 0; field < 2; ++field) {
                    int select = built.uniform(0, 1);
                    built.randomPrediction(motion, field, 0, predicted, field, intra, select, bx, by / 2, 8, false);
                }
                break;
            }
            default: {
                motion.motionType = 3;
                for (;;) {
                    auto [mvx, mvy] = built.vector(intra, 0, bx, by / 2, 8);
                    if (!inside(intra, 1, bx, by / 2, 8, mvx, mvy))
                        continue;
                    int dmx = built.uniform(-1, 1), dmy = built.uniform(-1, 1);
                    // Field distances: 1 from the nearer opposite field, 3
                    // from the farther; half a line of parity shift.
                    int nearX = roundHalf(mvx), nearY = roundHalf(mvy);
                    int farX = roundHalf(3 * mvx), farY = roundHalf(3 * mvy);
                    int topX = (topFieldFirst ? nearX : farX) + dmx, topY = (topFieldFirst ? nearY : farY) + dmy - 1;
                    int bottomX = (topFieldFirst ? farX : nearX) + dmx,
                        bottomY = (topFieldFirst ? farY : nearY) + dmy + 1;
                    if (!inside(intra, 1, bx, by / 2, 8, topX, topY) || !inside(intra, 0, bx, by / 2, 8, bottomX, bottomY))
                        continue;
                    motion.vector[0][0][0] = mvx;
                    motion.vector[0][0][1] = mvy;
                    motion.dmvector[0] = dmx;
                    motion.dmvector[1] = dmy;
                    predict(predicted, 0, intra, 0, bx, by / 2, 8, mvx, mvy, false);
                    predict(predicted, 0, intra, 1, bx, by / 2, 8, topX, topY, true);
                    predict(predicted, 1, intra, 1, bx, by / 2, 8, mvx, mvy, false);
                    predict(predicted, 1, intra, 0, bx, by / 2, 8, bottomX, bottomY, true);
                    break;
                }
                break;
            }
            }
            w.predictedMacroblock(mbx, mby, motion);
        }

    options.type = 3;
    w.picture(options);
    for (int mby = 0; mby < 4; ++mby)
        for (int mbx = 0; mbx < 4; ++mbx) {
            const int bx = 16 * mbx, by = 16 * mby;
            Motion motion;
            motion.type = "forward+backward";
            motion.motionType = (mbx + mby) % 2 ? 1 : 2;
            for (int s = 0; s < 2; ++s) {
                const Frame& reference = s == 0 ? intra : predicted;
                if (motion.motionType == 2) {
                    built.randomPrediction(motion, 0, s, bidirectional, -1, reference, -1, bx, by, 16, s == 1);
                    continue;
                }
                for (int field = 0; field < 2; ++field) {
                    int select = built.uniform(0, 1);
                    built.randomPrediction(
                        motion, field, s, bidirectional, field, reference, select, bx, by / 2, 8, s == 1);
                }
            }
            w.predictedMacroblock(mbx, mby, motion);
        }
    w.sequenceEnd();

    std::string stream = writeFile("frame-pictures-field-prediction.m2v", w.bytes());
    DecodedStream decoded = decodeFile(stream, width, height);
    EXPECT_EQ(decoded.pictures, 3);
    expectFrames(decoded, {intra, bidirectional, predicted}, stream);
}

} // namespace

TEST(HandBuiltStreamTest, FramePicturesWithFieldAndDualPrimePredictionTopFieldFirst)
{
    framePicturesWithFieldPrediction(1);
}

TEST(HandBuiltStreamTest, FramePicturesWithFieldAndDualPrimePredictionBottomFieldFirst)
{
    framePicturesWithFieldPrediction(0);
}

// MPEG-1 D pictures: DC coefficients only, no end of block, an end of
// macroblock bit; they are delivered like I pictures.
TEST(HandBuiltStreamTest, DcOnlyPicturesOfMpeg1)
{
    const int width = 32, height = 32;
    HandBuilt built({width, height, false, 1, 1, -1}, 3);
    StreamWriter& w = built.writer;
    w.sequenceHeader();
    w.groupOfPictures();
    std::vector<Frame> expected;
    for (int type : {1, 4, 4}) {
        PictureOptions options;
        options.type = type;
        w.picture(options);
        Frame frame(width, height);
        built.intraMacroblocks(frame, -1, 2, 2);
        expected.push_back(frame);
    }
    w.sequenceEnd();
    expectDecoded(decodeBytes(w.bytes(), width, height), expected);
}

// Above 2800 lines each slice header carries three more bits of the
// macroblock row; at 2800 it does not.
TEST(HandBuiltStreamTest, SliceVerticalPositionExtensionAbove2800Lines)
{
    for (int height : {2800, 2801}) {
        HandBuilt built({16, height, true, 1, 1, -1}, 5);
        StreamWriter& w = built.writer;
        w.sequenceHeader();
        PictureOptions options;
        options.progressiveFrame = 1;
        w.picture(options);
        const int lastRow = (height + 15) / 16 - 1;
        std::vector<int> top = built.randomDc(), bottom = built.randomDc();
        w.intraMacroblock(0, 0, top);
        w.intraMacroblock(0, lastRow, bottom);
        w.sequenceEnd();
        DecodedStream decoded = decodeBytes(w.bytes(), 16, height);
        ASSERT_EQ(decoded.frames.size(), 1u) << height;
        const YuvFrame& frame = decoded.frames[0];
        EXPECT_EQ(frame.planes[0][0], 128 + top[0]) << height;
        EXPECT_EQ(frame.planes[0][size_t(16 * lastRow) * 16], 128 + bottom[0]) << height;
        EXPECT_EQ(frame.planes[1][size_t(8 * lastRow) * 8], 128 + bottom[4]) << height;
    }
}

// Vectors of damaged streams may point far outside the picture; the block is
// then read from the nearest place inside the reference.
TEST(HandBuiltStreamTest, VectorsOutsideThePictureReadTheNearestInsideBlock)
{
    const int width = 32, height = 32;
    HandBuilt built({width, height, true, 1, 1, -1}, 9);
    StreamWriter& w = built.writer;
    w.sequenceHeader();
    PictureOptions options;
    options.progressiveFrame = 1;
    options.type = 1;
    w.picture(options);
    Frame intra(width, height);
    built.intraMacroblocks(intra, -1, 2, 2);
    options.type = 2;
    options.fCode[0][0] = options.fCode[0][1] = 9;
    w.picture(options);
    const int vectors[4][2] = {{-3001, 5}, {4001, -4001}, {7, 2999}, {-2, -4095}};
    for (int k = 0; k < 4; ++k) {
        Motion motion;
        motion.vector[0][0][0] = vectors[k][0];
        motion.vector[0][0][1] = vectors[k][1];
        w.predictedMacroblock(k % 2, k / 2, motion);
    }
    w.sequenceEnd();
    DecodedStream decoded = decodeBytes(w.bytes(), width, height);

    Frame expected(width, height);
    for (int k = 0; k < 4; ++k) {
        const int bx = 16 * (k % 2), by = 16 * (k / 2);
        for (int p = 0; p < 3; ++p) {
            Area a = planeArea(p, bx, by, 16, vectors[k][0], vectors[k][1]);
            int halfX = a.mvx & 1, halfY = a.mvy & 1;
            int x = std::clamp(a.x + floorHalf(a.mvx), 0, intra.planeWidth(p) - a.w - halfX);
            int y = std::clamp(a.y + floorHalf(a.mvy), 0, intra.planeHeight(p) - a.h - halfY);
            for (int j = 0; j < a.h; ++j)
                for (int i = 0; i < a.w; ++i)
                    expected.at(p, -1, a.x + i, a.y + j) = static_cast<uint8_t>(
                        halfSample(intra, p, -1, 2 * (x + i) + halfX, 2 * (y + j) + halfY));
        }
    }
    expectDecoded(decoded, {intra, expected});
}

// A new sequence header with another size and no sequence end in between:
// the stores follow the new size; the reference that was waiting is dropped.
TEST(HandBuiltStreamTest, SizeChangeWithoutSequenceEndReallocatesTheStores)
{
    std::vector<uint8_t> bytes;
    std::vector<Frame> pictures;
    for (int width : {32, 48}) {
        HandBuilt built({width, 32, true, 1, 1, -1}, unsigned(width));
        StreamWriter& w = built.writer;
        w.sequenceHeader();
        for (int i = 0; i < 2; ++i) {
            PictureOptions options;
            options.progressiveFrame = 1;
            w.picture(options);
            Frame frame(width, 32);
            built.intraMacroblocks(frame, -1, width / 16, 2);
            pictures.push_back(frame);
        }
        if (width == 48)
            w.sequenceEnd();
        std::vector<uint8_t> part = w.bytes();
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    DecodedStream decoded = decodeBytes(bytes, 48, 32);
    EXPECT_EQ(decoded.pictures, 4);
    expectDecoded(decoded, {pictures[0], pictures[2], pictures[3]});
}

// Mismatch control makes the sum of a block's coefficients odd through its
// last one. With DC 0, a last coefficient of 2 (an even sum) becomes 3: both
// macroblocks decode alike, and not flat.
TEST(HandBuiltStreamTest, MismatchControlMakesEvenSumsOdd)
{
    int intraMatrix[64];
    std::fill(intraMatrix, intraMatrix + 64, 16);
    intraMatrix[63] = 1; // at quantiser_scale 16 the coefficient is the level
    SequenceOptions sequence(32, 16, true, 1);
    sequence.intraMatrix = intraMatrix;
    StreamWriter w(sequence);
    w.sequenceHeader();
    PictureOptions options;
    options.progressiveFrame = 1;
    w.picture(options);
    w.intraMacroblock(0, 0, std::vector<int>(6, 0), 2);
    w.intraMacroblock(1, 0, std::vector<int>(6, 0), 3);
    w.sequenceEnd();
    DecodedStream decoded = decodeBytes(w.bytes(), 32, 16);
    ASSERT_EQ(decoded.frames.size(), 1u);
    bool flat = true;
    for (int p = 0; p < 3; ++p) {
        const std::vector<uint8_t>& plane = decoded.frames[0].planes[p];
        const int size = p ? 8 : 16, stride = 2 * size;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                ASSERT_EQ(plane[size_t(y * stride + x)], plane[size_t(y * stride + x + size)]) << p;
                flat = flat && plane[size_t(y * stride + x)] == 128;
            }
    }
    EXPECT_FALSE(flat);
}

// 4:4:4: twelve blocks a macroblock, Cb blocks laid out 4 8 / 6 10 and Cr
// blocks 5 9 / 7 11; the chroma goes to RGB without filtering.
TEST(HandBuiltStreamTest, Chroma444BlocksAndRgb)
{
    const int width = 32, height = 16;
    HandBuilt built({width, height, true, 1, 3, 1}, 13);
    StreamWriter& w = built.writer;
    w.sequenceHeader();
    PictureOptions options;
    options.progressiveFrame = 1;
    w.picture(options);
    YuvFrame expected;
    expected.width = expected.chromaWidth = width;
    expected.height = expected.chromaHeight = height;
    for (std::vector<uint8_t>& plane : expected.planes)
        plane.assign(size_t(width) * height, 0);
    for (int mbx = 0; mbx < 2; ++mbx) {
        std::vector<int> dc(12);
        for (int& v : dc)
            v = built.uniform(-100, 100);
        w.intraMacroblock(mbx, 0, dc);
        for (int b = 0; b < 12; ++b) {
            const int p = b < 4 ? 0 : 1 + (b & 1);
            const int x = 16 * mbx + (b < 4 ? 8 * (b & 1) : (b & 8));
            const int y = b < 4 ? 8 * (b >> 1) : 4 * (b & 2);
            for (int j = 0; j < 8; ++j)
                for (int i = 0; i < 8; ++i)
                    expected.planes[p][size_t(y + j) * width + x + i] = static_cast<uint8_t>(128 + dc[size_t(b)]);
        }
    }
    w.sequenceEnd();
    std::string stream = writeFile("chroma444.m2v", w.bytes());
    DecodedStream decoded = decodeFile(stream, width, height);
    ASSERT_EQ(decoded.frames.size(), 1u);
    EXPECT_EQ(maxDifference(decoded.frames[0], expected), 0);
    EXPECT_EQ(decoded.rgb[0], referenceRgb(expected, true, true, false, 1));
    std::vector<YuvFrame> ffmpeg = ffmpegFrames(stream, "yuv444p", width, height);
    ASSERT_EQ(ffmpeg.size(), 1u);
    EXPECT_EQ(maxDifference(ffmpeg[0], expected), 0);
}

// A motion code beyond the range of its f_code wraps around: +16 at f_code 1
// is -16.
TEST(HandBuiltStreamTest, MotionVectorsWrapIntoTheirRange)
{
    const int width = 64, height = 32;
    HandBuilt built({width, height, true, 1, 1, -1}, 21);
    StreamWriter& w = built.writer;
    w.sequenceHeader();
    PictureOptions options;
    options.progressiveFrame = 1;
    w.picture(options);
    Frame intra(width, height), predicted(width, height);
    built.intraMacroblocks(intra, -1, 4, 2);
    options.type = 2;
    options.fCode[0][0] = options.fCode[0][1] = 1;
    w.picture(options);
    for (int mby = 0; mby < 2; ++mby)
        for (int mbx = 0; mbx < 4; ++mbx) {
            Motion motion;
            const int written = mbx == 2 && mby == 1 ? 16 : 0;
            motion.vector[0][0][0] = motion.vector[0][0][1] = written;
            w.predictedMacroblock(mbx, mby, motion);
            predict(predicted, -1, intra, -1, 16 * mbx, 16 * mby, 16, -written, -written, false);
        }
    w.sequenceEnd();
    std::string stream = writeFile("vector-wrap.m2v", w.bytes());
    expectFrames(decodeFile(stream, width, height), {intra, predicted}, stream);
}
