#include "Libs/Video/VideoDriver.h"

#include "Libs/Common/Exception.h"
#include "Libs/Video/FrameFiles.h"

#include <cctype>
#include <cstdlib>
#include <memory>
#include <vector>

namespace Vostrel {

namespace {

const char* const kUsage =
    "Usage: vostrel-video-decode {options}\n"
    "Options: -b  file  main bitstream (base or spatial enhancement layer)\n"
    "         -e  file  enhancement layer bitstream (SNR or data partitioning)\n"
    "         -f        store/display interlaced video in frame format\n"
    "         -g        concatenated file format for substitution method (-x)\n"
    "         -l  file  file name pattern for lower layer sequence\n"
    "                   (for spatial scalability)\n"
    "         -on file  output format (0:YUV 1:SIF 2:TGA 3:PPM) and file name pattern\n"
    "         -q        disable warnings to stderr\n"
    "         -r        use double precision reference IDCT\n"
    "         -x  file  filename pattern of picture substitution sequence\n"
    "File patterns: one integer conversion (%d) for the frame number, then\n"
    "               one character conversion (%c) for the field\n"
    "Example: vostrel-video-decode -b bitstream.mpg -f -r -o0 rec%d\n";

void say(std::FILE* stream, const std::string& text)
{
    if (stream)
        std::fputs(text.c_str(), stream);
}

bool checkPattern(const std::string& pattern, std::FILE* err)
{
    try {
        Video::FilePattern checked(pattern);
        return true;
    } catch (const Exception& e) {
        say(err, "ERROR: " + e.getMessage() + "\n");
        return false;
    }
}

} // namespace

VideoOptionsResult parseVideoDecoderOptions(int argc, const char* const* argv, VideoDecoderOptions& options,
                                            std::FILE* err)
{
    options = VideoDecoderOptions();
    options.outputType = Video::kOutputNone;
    options.quiet = false;
    if (argc < 2)
        return kVideoOptionsUsage;

    // The file argument of an option, or its message when there is none.
    auto fileArgument = [&](int& i, std::string& value, const char* missing) {
        if (i + 1 >= argc) {
            say(err, missing);
            return false;
        }
        value = argv[++i];
        return true;
    };

    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-')
            continue;
        const char letter = arg[1];
        switch (std::tolower(static_cast<unsigned char>(letter))) {
        case 'b':
            if (!fileArgument(i, options.mainBitstream, "ERROR: -b must be followed the main bitstream filename\n"))
                return kVideoOptionsError;
            options.mainBitstreamFlag = true;
            break;
        case 'c': say(err, "This program not compiled for Verify_Flag option\n"); break;
        case 'e':
            if (!fileArgument(i, options.enhancementBitstream, "ERROR: -e must be followed by filename\n"))
                return kVideoOptionsError;
            options.twoStreams = true;
            break;
        case 'f': options.frameStore = true; break;
        case 'g': options.concatenatedSubstitutes = true; break;
        case 'i': say(err, "WARNING: This program not compiled for -i option\n"); break;
        case 'l':
            if (!fileArgument(i, options.lowerLayerPattern, "ERROR: -l must be followed by filename\n") ||
                !checkPattern(options.lowerLayerPattern, err))
                return kVideoOptionsError;
            break;
        case 'o': {
            const std::string type = arg + 2;
            if (type.size() != 1 || type[0] < '0' || type[0] > '5') {
                say(err, "ERROR: unknown output type -o" + type + "\n");
                return kVideoOptionsError;
            }
            if (type[0] == '4' || type[0] == '5') {
                say(err, "This program not compiled for display output -o" + type + "\n");
                return kVideoOptionsError;
            }
            if (!fileArgument(i, options.outputPattern, "ERROR: -o must be followed by filename\n") ||
                !checkPattern(options.outputPattern, err))
                return kVideoOptionsError;
            options.outputType = type[0] - '0';
            break;
        }
        case 'q': options.quiet = true; break;
        case 'r': options.doubleIdct = true; break;
        case 't': say(err, "WARNING: This program not compiled for -t option\n"); break;
        case 'u':
            if (i + 1 < argc)
                ++i;
            say(err, "This program not compiled for -v option\n");
            break;
        case 'v': say(err, "This program not compiled for -v option\n"); break;
        case 'x':
            if (!fileArgument(i, options.substitutePattern, "ERROR: -x must be followed by filename\n") ||
                !checkPattern(options.substitutePattern, err))
                return kVideoOptionsError;
            options.substitute = true;
            break;
        default:
            say(err, std::string("undefined option -") + (letter ? letter : ' ') + " ignored. Exiting program\n");
            return kVideoOptionsError;
        }
    }
    if (!options.mainBitstreamFlag) {
        say(err, "There must be a main bitstream specified (-b filename)\n");
        return kVideoOptionsError;
    }
    return kVideoOptionsDecode;
}

int runVideoDecoder(int argc, const char* const* argv)
{
    return runVideoDecoder(argc, argv, stdout, stderr);
}

int runVideoDecoder(int argc, const char* const* argv, std::FILE* out, std::FILE* err)
{
    say(out, "\nvostrel-video-decode 1.0, MPEG-1 and MPEG-2 video decoder of the Vostrel engine\n");
    VideoDecoderOptions options;
    switch (parseVideoDecoderOptions(argc, argv, options, err)) {
    case kVideoOptionsUsage: say(out, kUsage); return 0;
    case kVideoOptionsError: return 255;
    case kVideoOptionsDecode: break;
    }

    Video::Messages messages;
    messages.notices = out;
    messages.warnings = err;
    messages.quiet = options.quiet;
    try {
        VideoDecoder decoder;
        decoder.setMessageStreams(out, err);
        decoder.setQuiet(options.quiet);
        decoder.setDoubleIdct(options.doubleIdct);
        decoder.setRgbOutput(false);
        decoder.setAllSequences(true);

        std::unique_ptr<Video::FrameFileWriter> writer;
        int frameNumber = 0;
        if (options.outputType != Video::kOutputNone)
            writer = std::make_unique<Video::FrameFileWriter>(
                options.outputType, Video::FilePattern(options.outputPattern), options.frameStore, messages);
        decoder.setFrameObserver([&](const VideoFrameView& frame) {
            if (writer)
                writer->write(frame, frameNumber);
            ++frameNumber;
        });
        std::unique_ptr<Video::SubstitutePictures> substitutes;
        if (options.substitute) {
            substitutes = std::make_unique<Video::SubstitutePictures>(
                Video::FilePattern(options.substitutePattern), options.concatenatedSubstitutes, messages);
            decoder.setPictureStoreHook([&](const PictureStoreView& store) { substitutes->fill(store); });
        }

        if (!options.lowerLayerPattern.empty())
            decoder.setLowerLayerPattern(options.lowerLayerPattern);
        decoder.open(options.mainBitstream.c_str());
        if (options.twoStreams)
            decoder.openEnhancement(options.enhancementBitstream.c_str());
        while (decoder.decodeNextFrame(nullptr)) {
        }
        Close_Video_Stream(decoder);
    } catch (const Exception& e) {
        say(err, e.getMessage() + "\n");
        return 1;
    }
    return 0;
}

int Close_Video_Stream(VideoDecoder& decoder)
{
    decoder.close();
    return 0;
}

int Decoder_Self_Test()
{
    VideoDecoder decoder;
    Open_Video_Stream(decoder, "asd.mpg");
    std::vector<unsigned char> picture;
    for (;;) {
        // The first picture of a sequence writes nothing, so the size is
        // known before the buffer is needed.
        const size_t size = size_t(decoder.pictureWidth()) * decoder.pictureHeight();
        if (picture.size() < 3 * size) {
            picture.resize(3 * size);
            Set_Video_Output_Size(decoder, decoder.pictureWidth(), decoder.pictureHeight());
        }
        if (!Decode_Next_Frame(decoder, picture.empty() ? nullptr : picture.data()))
            break;
    }
    return Close_Video_Stream(decoder);
}

void Print_Bits(std::FILE* out, uint32_t value, int n)
{
    for (int i = n - 1; i >= 0; --i)
        std::fputc((value >> i) & 1 ? '1' : '0', out);
}

} // namespace Vostrel
