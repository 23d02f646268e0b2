#include "Tests/Shader/RandomProgram.h"

#include <set>
#include <sstream>
#include <vector>

namespace ShaderTesting {

using Shader::Stage;

namespace {

const char* LETTERS = "xyzw";

class Generator {
public:
    Generator(Stage stage, std::mt19937& random) : vertex(stage == Stage::Vertex), random(random) {}

    std::string run(int length)
    {
        out << (vertex ? "vs_2_0\n" : "ps_2_0\n");
        if (vertex) {
            for (int i = 0; i < 4; ++i)
                out << "dcl_texcoord" << i << " v" << i << "\n";
        } else {
            out << "dcl_2d s0\ndcl_cube s1\ndcl_volume s2\n";
            for (int i = 0; i < 2; ++i)
                out << "dcl v" << i << "\n";
            for (int i = 0; i < 4; ++i)
                out << "dcl t" << i << "\n";
        }
        // c20 and c21 hold the constants sincos expects.
        out << "def c20, -1.55009923e-06, -2.17013894e-05, 0.00260416674, 0.00026041668\n";
        out << "def c21, -0.020833334, -0.125, 1, 0.5\n";
        out << "def c22, 0.25, -1.5, 3, 0\n";
        for (int i = 0; i < length; ++i)
            instruction();
        // Every output the stage has, from a defined value.
        if (vertex) {
            out << "mov oPos, " << anyTemp() << "\n";
            out << "mov oD0, " << anyTemp() << "\n";
            out << "mov oT0.xy, " << anyTemp() << "\n";
        } else {
            out << "mov oC0, " << anyTemp() << "\n";
        }
        return out.str();
    }

private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }
    bool chance(int percent) { return pick(100) < percent; }

    std::string anyTemp()
    {
        if (defined.empty())
            return vertex ? "v0" : "t0";
        auto it = defined.begin();
        std::advance(it, pick(static_cast<int>(defined.size())));
        return "r" + std::to_string(*it);
    }

    std::string swizzle(bool replicate)
    {
        if (replicate)
            return std::string(".") + LETTERS[pick(4)];
        if (!vertex) {
            static const char* ALLOWED[] = {"", ".yzxw", ".zxyw", ".wzyx", ".x", ".w"};
            return ALLOWED[pick(6)];
        }
        if (chance(40))
            return "";
        std::string text = ".";
        int length = 1 + pick(4);
        for (int i = 0; i < length; ++i)
            text += LETTERS[pick(4)];
        return text;
    }

    struct Ports {
        int input = -1, constant = -1, texture = -1, constant2 = -1;
        std::string relative;
    };

    // A readable register that keeps the instruction within its read ports.
    std::string registerFor(Ports& ports, bool allowRelative)
    {
        for (;;) {
            int kind = pick(4);
            if (kind == 0 && !defined.empty())
                return anyTemp();
            if (kind == 1) {
                int count = vertex ? 4 : 2;
                if (ports.input < 0)
                    ports.input = pick(count);
                return "v" + std::to_string(ports.input);
            }
            if (kind == 2) {
                if (vertex && !ports.relative.empty())
                    return ports.relative;
                if (vertex && ports.constant >= 0)
                    return "c" + std::to_string(ports.constant);
                if (vertex && allowRelative && addressWritten && chance(30)) {
                    ports.relative = "c[" + std::to_string(pick(8)) + "+a0.x]";
                    return ports.relative;
                }
                int chosen = chance(30) ? 20 + pick(3) : pick(vertex ? 16 : 8);
                if (ports.constant < 0)
                    ports.constant = chosen;
                else if (ports.constant2 < 0 && chosen != ports.constant)
                    ports.constant2 = chosen;
                else
                    chosen = chance(50) ? ports.constant : (ports.constant2 >= 0 ? ports.constant2 : ports.constant);
                return "c" + std::to_string(chosen);
            }
            if (kind == 3 && !vertex) {
                if (ports.texture < 0)
                    ports.texture = pick(4);
                return "t" + std::to_string(ports.texture);
            }
        }
    }

    std::string source(Ports& ports, bool replicate = false, bool noSwizzle = false)
    {
        std::string text = chance(20) ? "-" : "";
        text += registerFor(ports, true);
        if (!noSwizzle)
            text += swizzle(replicate);
        return text;
    }

    std::string writeMask()
    {
        static const char* MASKS[] = {"", ".x", ".xy", ".xyz", ".w", ".yz", ".xw", ".z"};
        return MASKS[pick(8)];
    }

    int freshDestination(const std::set<int>& avoid)
    {
        for (;;) {
            int index = pick(12);
            if (!avoid.count(index))
                return index;
        }
    }

    static std::set<int> tempsIn(const std::string& text)
    {
        std::set<int> temps;
        for (size_t at = text.find('r'); at != std::string::npos; at = text.find('r', at + 1))
            if (at + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[at + 1])))
                temps.insert(std::stoi(text.substr(at + 1)));
        return temps;
    }

    void emit(const std::string& mnemonic, int destination, const std::string& mask,
              const std::vector<std::string>& sources, bool fullDefinition)
    {
        out << mnemonic << " r" << destination << mask;
        for (const std::string& text : sources)
            out << ", " << text;
        out << "\n";
        if (fullDefinition || mask.empty())
            defined.insert(destination);
    }

    void instruction()
    {
        Ports ports;
        static const char* VERTEX_OPS[] = {"abs", "add", "crs", "dp3", "dp4", "dst", "exp", "expp", "frc", "lit",
                                           "log", "logp", "lrp", "mad", "max", "min", "mov", "mova", "mul",
                                           "nrm", "pow", "rcp", "rsq", "sge", "sgn", "sincos", "slt", "sub"};
        static const char* PIXEL_OPS[] = {"abs", "add", "cmp", "crs", "dp3", "dp4", "exp", "frc", "log",
                                          "lrp", "mad", "max", "min", "mov", "mul", "nrm", "pow", "rcp",
                                          "rsq", "sincos", "sub", "texld", "texkill"};
        std::string op = vertex ? VERTEX_OPS[pick(sizeof VERTEX_OPS / sizeof *VERTEX_OPS)]
                                : PIXEL_OPS[pick(sizeof PIXEL_OPS / sizeof *PIXEL_OPS)];
        std::string saturate = !vertex && op != "frc" && op != "sincos" && op != "texld" && op != "texkill"
                && chance(20) ? "_sat" : "";
        if (op == "mova") {
            out << "mova a0.x, " << source(ports, true) << "\n";
            addressWritten = true;
            return;
        }
        if (op == "texkill") {
            out << "texkill " << (defined.empty() || chance(50) ? "t" + std::to_string(pick(4)) : anyTemp()) << "\n";
            return;
        }
        if (op == "texld") {
            std::string coordinate = defined.empty() || chance(50) ? "t" + std::to_string(pick(4)) : anyTemp();
            emit("texld", pick(12), "", {coordinate, "s" + std::to_string(pick(3))}, true);
            return;
        }
        if (op == "sincos") {
            std::string angle = registerFor(ports, false) + swizzle(true);
            static const char* MASKS[] = {".x", ".y", ".xy"};
            emit("sincos", freshDestination({}), MASKS[pick(3)], {angle, "c20", "c21"}, false);
            return;
        }
        if (op == "crs") {
            std::string a = registerFor(ports, false), b = registerFor(ports, false);
            std::set<int> avoid = tempsIn(a + " " + b);
            static const char* MASKS[] = {".x", ".xy", ".xyz", ".yz", ".z"};
            emit("crs", freshDestination(avoid), MASKS[pick(5)], {a, b}, false);
            return;
        }
        if (op == "nrm") {
            std::string a = source(ports);
            emit("nrm", freshDestination(tempsIn(a)), writeMask(), {a}, false);
            return;
        }
        bool scalar = op == "exp" || op == "expp" || op == "log" || op == "logp" || op == "rcp" || op == "rsq"
            || op == "pow";
        int sourceCount = (op == "mad" || op == "lrp" || op == "cmp" || op == "sgn") ? 3
            : (op == "add" || op == "sub" || op == "mul" || op == "dp3" || op == "dp4" || op == "dst" || op == "max"
               || op == "min" || op == "sge" || op == "slt" || op == "pow") ? 2 : 1;
        std::vector<std::string> sources;
        for (int i = 0; i < sourceCount; ++i)
            sources.push_back(source(ports, scalar));
        if (op == "sgn") {
            // The two scratch registers of sgn are different temporaries.
            int first = pick(12), second = (first + 1 + pick(11)) % 12;
            sources[1] = "r" + std::to_string(first);
            sources[2] = "r" + std::to_string(second);
        }
        if (vertex && chance(15)) {
            static const char* OUTPUTS[] = {"oT1", "oT2", "oD1", "oFog"};
            std::string output = OUTPUTS[pick(4)];
            if (op != "pow") {
                out << op << " " << output << (output == "oFog" ? ".x" : writeMask());
                for (const std::string& text : sources)
                    out << ", " << text;
                out << "\n";
                return;
            }
        }
        emit(op + saturate, pick(12), writeMask(), sources, false);
    }

    bool vertex;
    std::mt19937& random;
    std::ostringstream out;
    std::set<int> defined;
    bool addressWritten = false;
};

} // namespace

std::string randomAssembly(Stage stage, std::mt19937& random, int length)
{
    return Generator(stage, random).run(length);
}

} // namespace ShaderTesting
