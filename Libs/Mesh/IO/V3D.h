#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace Vostrel {
namespace Mesh {

// Property types of the V3D format. Fixed-size values are stored at a mapped
// destination as they are; a list is stored as a std::vector<float> or
// std::vector<int32_t>, a string as a std::string.
enum V3DType {
    V3D_REAL = 0,
    V3D_INT = 1,
    V3D_LIST_REAL = 2,
    V3D_LIST_INT = 3,
    V3D_REAL2 = 4,
    V3D_REAL3 = 5,
    V3D_REAL4 = 6,
    V3D_INT2 = 7,
    V3D_INT3 = 8,
    V3D_INT4 = 9,
    V3D_STRING = 10
};

// The engine's own mesh format: a keyword header of elements (tables with a
// row count) and their typed properties, then the rows as text ("data") or
// little-endian bytes ("bdata"). A reader maps properties onto its own memory
// and reads the body straight into it; the same class writes files.
class V3DFile {
public:
    V3DFile();
    ~V3DFile();

    // Parses the header of the text in [begin, end); returns the body's start.
    const char* read(const char* begin, const char* end);
    // Reads every element's rows into the mapped destinations.
    void readBody(const char* body);

    int getElementCount() const { return static_cast<int>(elements.size()); }
    int findElement(const std::string& name) const;
    int getElementSize(int elementId) const;
    std::string getElementName(int elementId) const;
    int getPropertyCount(int elementId) const;
    int findProperty(int elementId, const std::string& name) const;
    int getPropertyType(int elementId, int propertyId) const;
    std::string getPropertyName(int elementId, int propertyId) const;
    int getPropertyReference(int elementId, int propertyId) const;
    bool hasParameter(const std::string& name) const;
    std::string getParameter(const std::string& name) const;

    // Row r's value goes to destination + r * stride; a negative stride means
    // the size of one stored value.
    void mapProperty(int elementId, int propertyId, int type, void* destination, int stride);

    // Writing: row r's value is read from source + r * stride.
    int addElement(const std::string& name, int rowCount);
    void addProperty(int elementId, const std::string& name, int type, const void* source, int stride,
                     int reference);
    void write(std::ostream& out, bool binary);

    // Bytes per row of a type: 4 to 16, -2 for lists, -1 for strings, 0 unknown.
    static int typeSize(int type);

private:
    struct Property {
        std::string name;
        int type = 0;
        int reference = -1;
        int size = 0;
        char* destination = nullptr;
        int stride = 0;
        int run = 0;
    };
    struct Element {
        std::string name;
        int rowCount = 0;
        std::vector<std::unique_ptr<Property>> properties;
    };

    const Element& element(int elementId, int line) const;
    Property& property(int elementId, int propertyId, int line) const;
    void checkBodySize(const char* body) const;
    void readTextElement(Element& element, const char*& at);
    void readBinaryElement(Element& element, const char*& at);
    void writeValue(std::ostream& out, const Property& property, const char* source, bool binary) const;

    std::vector<std::unique_ptr<Element>> elements;
    std::map<std::string, std::string> parameters;
    int bodyForm = 0; // 0 text, 1 binary
    const char* end = nullptr;
};

} // namespace Mesh
} // namespace Vostrel
