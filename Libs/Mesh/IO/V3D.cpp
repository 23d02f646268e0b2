#include "Libs/Mesh/IO/V3D.h"

#include "Libs/Common/Exception.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace Vostrel {
namespace Mesh {

namespace {

const char* const typeWords[] = {"real", "int", "list real", "list int", "real2", "real3",
                                 "real4", "int2", "int3", "int4", "string"};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

void corrupted(int line)
{
    throw Exception("V3D file is corrupted.", sourceName(__FILE__), line);
}

void check(bool condition, const char* expression, int line)
{
    if (!condition)
        throw Exception(std::string(expression) + " does not hold.", sourceName(__FILE__), line);
}

// Whitespace-separated words of a bounded text; words are at most 1023 characters.
class Words {
public:
    Words(const char* at, const char* end) : at(at), end(end) {}
    bool next(std::string& word)
    {
        while (at < end && isSpace(*at))
            ++at;
        const char* start = at;
        while (at < end && !isSpace(*at) && *at != 0)
            ++at;
        if (at == start)
            return false;
        if (at - start > 1023)
            corrupted(__LINE__);
        word.assign(start, at);
        return true;
    }
    std::string need()
    {
        std::string word;
        if (!next(word))
            corrupted(__LINE__);
        return word;
    }
    double number()
    {
        const std::string word = need();
        char* stop = nullptr;
        errno = 0;
        const double value = std::strtod(word.c_str(), &stop);
        if (*stop != 0)
            corrupted(__LINE__);
        return value;
    }
    int32_t integer()
    {
        const std::string word = need();
        char* stop = nullptr;
        errno = 0;
        const long long value = std::strtoll(word.c_str(), &stop, 10);
        if (*stop != 0 || errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
            corrupted(__LINE__);
        return static_cast<int32_t>(value);
    }
    const char* at;
    const char* end;
};

// Components of a fixed-size type and whether they are floats.
int components(int type)
{
    switch (type) {
    case V3D_REAL: case V3D_INT: return 1;
    case V3D_REAL2: case V3D_INT2: return 2;
    case V3D_REAL3: case V3D_INT3: return 3;
    case V3D_REAL4: case V3D_INT4: return 4;
    default: return 0;
    }
}

bool isReal(int type) { return type == V3D_REAL || (type >= V3D_REAL2 && type <= V3D_REAL4); }

} // namespace

V3DFile::V3DFile() {}
V3DFile::~V3DFile() {}

int V3DFile::typeSize(int type)
{
    switch (type) {
    case V3D_REAL: case V3D_INT: return 4;
    case V3D_LIST_REAL: case V3D_LIST_INT: return -2;
    case V3D_REAL2: case V3D_INT2: return 8;
    case V3D_REAL3: case V3D_INT3: return 12;
    case V3D_REAL4: case V3D_INT4: return 16;
    case V3D_STRING: return -1;
    default: return 0;
    }
}

const char* V3DFile::read(const char* begin, const char* bufferEnd)
{
    end = bufferEnd;
    Words words(begin, bufferEnd);
    std::unique_ptr<Element> current;
    std::unique_ptr<Property> pending;
    auto completeProperty = [&] {
        if (pending)
            current->properties.push_back(std::move(pending));
    };
    auto completeElement = [&] {
        if (current) {
            completeProperty();
            elements.push_back(std::move(current));
        }
    };
    std::string word;
    while (words.next(word)) {
        if (word == "element") {
            completeElement();
            current = std::make_unique<Element>();
            current->name = words.need();
            current->rowCount = words.integer();
            if (current->rowCount < 0)
                corrupted(__LINE__);
        } else if (word == "property") {
            if (!current)
                corrupted(__LINE__);
            completeProperty();
            pending = std::make_unique<Property>();
            std::string type = words.need();
            if (type == "list") {
                const std::string second = words.need();
                if (second == "real")
                    pending->type = V3D_LIST_REAL;
                else if (second == "int")
                    pending->type = V3D_LIST_INT;
                else
                    corrupted(135);
            } else {
                int code = -1;
                for (int i = 0; i < 11; ++i)
                    if (i != V3D_LIST_REAL && i != V3D_LIST_INT && type == typeWords[i])
                        code = i;
                if (code < 0)
                    corrupted(138);
                pending->type = code;
            }
            pending->size = typeSize(pending->type);
            pending->name = words.need();
        } else if (word == "reference") {
            if (!pending)
                corrupted(__LINE__);
            const int index = findElement(words.need());
            if (index < 0)
                corrupted(156);
            pending->reference = index;
        } else if (word == "param") {
            const std::string name = words.need();
            const char* at = words.at;
            while (at < end && isSpace(*at))
                ++at;
            const char* start;
            if (at < end && *at == '"') {
                start = ++at;
                while (at < end && *at != '"')
                    ++at;
                if (at == end)
                    corrupted(__LINE__);
                parameters[name].assign(start, at);
                ++at;
            } else {
                start = at;
                while (at < end && *at != ' ' && *at != '\t' && *at != '\n')
                    ++at;
                parameters[name].assign(start, at);
            }
            words.at = at;
        } else if (word == "data" || word == "bdata") {
            completeElement();
            bodyForm = word == "bdata" ? 1 : 0;
            const char* body = words.at < end ? words.at + 1 : end;
            checkBodySize(body);
            return body;
        } else {
            corrupted(202);
        }
    }
    corrupted(__LINE__); // no "data" or "bdata"
    return nullptr;
}

// Every row of an element with properties takes some bytes of the body, so
// row counts beyond the body's size are refused before anyone allocates.
void V3DFile::checkBodySize(const char* body) const
{
    uint64_t least = 0;
    for (const auto& e : elements) {
        uint64_t perRow = 0;
        for (const auto& p : e->properties) {
            if (bodyForm == 1)
                perRow += p->size > 0 ? p->size : (p->type == V3D_STRING ? 1 : 2);
            else
                perRow += p->size > 0 ? components(p->type) : (p->type == V3D_STRING ? 2 : 1);
        }
        least += perRow * static_cast<uint64_t>(e->rowCount);
    }
    if (least > static_cast<uint64_t>(end - body))
        corrupted(__LINE__);
}

const V3DFile::Element& V3DFile::element(int elementId, int line) const
{
    check(elementId >= 0 && elementId < (int)elements.size(), "elementId >= 0 && elementId < (int)elements.size()",
          line);
    return *elements[elementId];
}

V3DFile::Property& V3DFile::property(int elementId, int propertyId, int line) const
{
    const Element& e = element(elementId, line);
    check(propertyId >= 0 && propertyId < (int)elements[elementId]->properties.size(),
          "propertyId >= 0 && propertyId < (int)elements[elementId]->properties.size()", line + 1);
    return *e.properties[propertyId];
}

int V3DFile::findElement(const std::string& name) const
{
    for (size_t i = 0; i < elements.size(); ++i)
        if (elements[i]->name == name)
            return static_cast<int>(i);
    return -1;
}

int V3DFile::getElementSize(int elementId) const { return element(elementId, 599).rowCount; }
std::string V3DFile::getElementName(int elementId) const { return element(elementId, 604).name; }
int V3DFile::getPropertyCount(int elementId) const
{
    return static_cast<int>(element(elementId, 609).properties.size());
}

int V3DFile::findProperty(int elementId, const std::string& name) const
{
    const Element& e = element(elementId, 614);
    for (size_t i = 0; i < e.properties.size(); ++i)
        if (e.properties[i]->name == name)
            return static_cast<int>(i);
    return -1;
}

int V3DFile::getPropertyType(int elementId, int propertyId) const { return property(elementId, propertyId, 622).type; }
std::string V3DFile::getPropertyName(int elementId, int propertyId) const
{
    return property(elementId, propertyId, 628).name;
}
int V3DFile::getPropertyReference(int elementId, int propertyId) const
{
    return property(elementId, propertyId, 634).reference;
}

bool V3DFile::hasParameter(const std::string& name) const { return parameters.count(name) != 0; }

std::string V3DFile::getParameter(const std::string& name) const
{
    auto it = parameters.find(name);
    check(it != parameters.end(), "it != parameters.end()", 669);
    return it->second;
}

namespace {

int storedSize(int type, int size)
{
    if (size > 0)
        return size;
    if (type == V3D_STRING)
        return static_cast<int>(sizeof(std::string));
    return type == V3D_LIST_REAL ? static_cast<int>(sizeof(std::vector<float>))
                                 : static_cast<int>(sizeof(std::vector<int32_t>));
}

} // namespace

void V3DFile::mapProperty(int elementId, int propertyId, int type, void* destination, int stride)
{
    Property& p = property(elementId, propertyId, 641);
    if (p.type != type)
        VOSTREL_THROW_AT_LINE(645, "Trying to read property having wrong type.");
    if (p.destination)
        VOSTREL_THROW_AT_LINE(647, "Cannot add two maps to the same property.");
    p.destination = static_cast<char*>(destination);
    p.run = p.size;
    p.stride = stride >= 0 ? stride : storedSize(p.type, p.size);
}

void V3DFile::readBody(const char* body)
{
    const char* at = body;
    for (auto& e : elements) {
        if (bodyForm == 1)
            readBinaryElement(*e, at);
        else
            readTextElement(*e, at);
    }
}

void V3DFile::readTextElement(Element& e, const char*& at)
{
    Words words(at, end);
    for (int row = 0; row < e.rowCount && !e.properties.empty(); ++row) {
        for (auto& pointer : e.properties) {
            Property& p = *pointer;
            if (p.type == V3D_STRING) {
                const char* c = words.at;
                while (c < end && *c != '"')
                    ++c;
                if (c >= end)
                    corrupted(__LINE__);
                const char* start = ++c;
                while (c < end && !(*c == '"' && c[-1] != '\\'))
                    ++c;
                if (c >= end)
                    corrupted(__LINE__);
                if (p.destination)
                    reinterpret_cast<std::string*>(p.destination)->assign(start, c);
                words.at = c + 1;
            } else if (p.type == V3D_LIST_REAL || p.type == V3D_LIST_INT) {
                const int32_t count = words.integer();
                if (count < 0 || count > end - words.at)
                    corrupted(__LINE__);
                if (p.type == V3D_LIST_REAL) {
                    std::vector<float> values(count);
                    for (float& v : values)
                        v = static_cast<float>(words.number());
                    if (p.destination)
                        *reinterpret_cast<std::vector<float>*>(p.destination) = std::move(values);
                } else {
                    std::vector<int32_t> values(count);
                    for (int32_t& v : values)
                        v = words.integer();
                    if (p.destination)
                        *reinterpret_cast<std::vector<int32_t>*>(p.destination) = std::move(values);
                }
            } else {
                const int n = components(p.type);
                for (int i = 0; i < n; ++i) {
                    if (isReal(p.type)) {
                        const float v = static_cast<float>(words.number());
                        if (p.destination)
                            std::memcpy(p.destination + 4 * i, &v, 4);
                    } else {
                        const int32_t v = words.integer();
                        if (p.destination)
                            std::memcpy(p.destination + 4 * i, &v, 4);
                    }
                }
            }
            if (p.destination)
                p.destination += p.stride;
        }
    }
    at = words.at;
}

void V3DFile::readBinaryElement(Element& e, const char*& at)
{
    auto need = [&](uint64_t bytes) {
        if (bytes > static_cast<uint64_t>(end - at))
            corrupted(__LINE__);
    };
    std::vector<std::unique_ptr<Property>>& props = e.properties;
    // Adjacent columns mapped to adjacent memory are copied as one run.
    for (int i = static_cast<int>(props.size()) - 2; i >= 0; --i) {
        Property& p = *props[i];
        Property& q = *props[i + 1];
        if (p.destination && q.destination && p.size > 0 && q.size > 0 && p.stride == q.stride &&
            p.destination + p.run == q.destination) {
            p.run += q.run;
            q.destination = nullptr;
        }
    }
    bool variable = false;
    for (auto& p : props)
        variable = variable || p->size < 0;
    if (variable) {
        for (int row = 0; row < e.rowCount; ++row)
            for (auto& pointer : props) {
                Property& p = *pointer;
                if (p.type == V3D_STRING) {
                    const void* nul = std::memchr(at, 0, end - at);
                    if (!nul)
                        corrupted(__LINE__);
                    const char* stop = static_cast<const char*>(nul);
                    if (p.destination)
                        reinterpret_cast<std::string*>(p.destination)->assign(at, stop);
                    at = stop + 1;
                } else if (p.size < 0) {
                    need(2);
                    uint16_t count;
                    std::memcpy(&count, at, 2);
                    at += 2;
                    need(4ull * count);
                    if (p.destination && count == 0) {
                        if (p.type == V3D_LIST_REAL)
                            reinterpret_cast<std::vector<float>*>(p.destination)->clear();
                        else
                            reinterpret_cast<std::vector<int32_t>*>(p.destination)->clear();
                    } else if (p.destination && p.type == V3D_LIST_REAL) {
                        auto* values = reinterpret_cast<std::vector<float>*>(p.destination);
                        values->resize(count);
                        std::memcpy(values->data(), at, 4ull * count);
                    } else if (p.destination) {
                        auto* values = reinterpret_cast<std::vector<int32_t>*>(p.destination);
                        values->resize(count);
                        std::memcpy(values->data(), at, 4ull * count);
                    }
                    at += 4ull * count;
                } else {
                    need(p.size);
                    if (p.destination)
                        std::memcpy(p.destination, at, p.run);
                    at += p.size;
                }
                if (p.destination)
                    p.destination += p.stride;
            }
        return;
    }
    struct Step {
        int offset;
        char* destination;
        int run;
        int stride;
    };
    std::vector<Step> plan;
    int rowSize = 0;
    for (auto& p : props) {
        if (p->destination)
            plan.push_back({rowSize, p->destination, p->run, p->stride});
        rowSize += p->size;
    }
    const uint64_t total = static_cast<uint64_t>(e.rowCount) * rowSize;
    need(total);
    if (plan.size() == 1 && plan[0].offset == 0 && plan[0].run == rowSize && plan[0].stride == rowSize) {
        std::memcpy(plan[0].destination, at, total);
    } else if (!plan.empty()) {
        for (int row = 0; row < e.rowCount; ++row)
            for (Step& step : plan) {
                std::memcpy(step.destination, at + static_cast<uint64_t>(row) * rowSize + step.offset, step.run);
                step.destination += step.stride;
            }
    }
    at += total;
}

int V3DFile::addElement(const std::string& name, int rowCount)
{
    auto e = std::make_unique<Element>();
    e->name = name;
    e->rowCount = rowCount;
    elements.push_back(std::move(e));
    return static_cast<int>(elements.size()) - 1;
}

void V3DFile::addProperty(int elementId, const std::string& name, int type, const void* source, int stride,
                          int reference)
{
    element(elementId, 711);
    auto p = std::make_unique<Property>();
    p->name = name;
    p->type = type;
    p->reference = reference;
    p->size = typeSize(type);
    p->destination = static_cast<char*>(const_cast<void*>(source));
    p->run = p->size;
    p->stride = stride >= 0 ? stride : storedSize(type, p->size);
    elements[elementId]->properties.push_back(std::move(p));
}

void V3DFile::writeValue(std::ostream& out, const Property& p, const char* source, bool binary) const
{
    if (p.type == V3D_STRING) {
        const std::string& s = *reinterpret_cast<const std::string*>(source);
        if (binary)
            out.write(s.c_str(), static_cast<std::streamsize>(s.size() + 1));
        else
            out << '"' << s << '"';
    } else if (p.type == V3D_LIST_REAL || p.type == V3D_LIST_INT) {
        const auto& values = *reinterpret_cast<const std::vector<int32_t>*>(source); // same layout for floats
        const uint16_t count = static_cast<uint16_t>(values.size());
        if (binary) {
            out.write(reinterpret_cast<const char*>(&count), 2);
            out.write(reinterpret_cast<const char*>(values.data()), 4 * static_cast<std::streamsize>(count));
        } else {
            out << values.size();
            for (size_t i = 0; i < values.size(); ++i) {
                if (p.type == V3D_LIST_REAL)
                    out << ' ' << (*reinterpret_cast<const std::vector<float>*>(source))[i];
                else
                    out << ' ' << values[i];
            }
        }
    } else if (binary) {
        out.write(source, p.size);
    } else {
        for (int i = 0; i < components(p.type); ++i) {
            if (i)
                out << ' ';
            if (isReal(p.type)) {
                float v;
                std::memcpy(&v, source + 4 * i, 4);
                out << v;
            } else {
                int32_t v;
                std::memcpy(&v, source + 4 * i, 4);
                out << v;
            }
        }
    }
}

void V3DFile::write(std::ostream& out, bool binary)
{
    for (const auto& e : elements) {
        out << "element " << e->name << " " << (e->properties.empty() ? 0 : e->rowCount) << "\n";
        for (const auto& p : e->properties) {
            out << "  property " << typeWords[p->type] << " " << p->name << "\n";
            if (p->reference >= 0)
                out << "    reference " << elements[p->reference]->name << "\n";
        }
    }
    out << (binary ? "bdata" : "data") << "\n";
    for (const auto& e : elements) {
        if (e->properties.empty())
            continue;
        std::vector<const char*> sources;
        for (const auto& p : e->properties)
            sources.push_back(p->destination);
        for (int row = 0; row < e->rowCount; ++row) {
            for (size_t i = 0; i < e->properties.size(); ++i) {
                if (!binary && i)
                    out << ' ';
                writeValue(out, *e->properties[i], sources[i], binary);
                sources[i] += e->properties[i]->stride;
            }
            if (!binary)
                out << "\n";
        }
    }
}

} // namespace Mesh
} // namespace Vostrel
