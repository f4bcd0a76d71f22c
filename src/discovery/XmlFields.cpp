#include "XmlFields.h"

namespace vexor {

std::optional<std::vector<XmlField>>
ReadXmlFields(const XmlReaderFactory& xml, std::string_view document, const XmlLimits& limits) {
    const auto reader = xml(document);
    if (!reader) {
        return std::nullopt;
    }
    std::vector<XmlField> fields;
    // Indexes into `fields` of the elements still open.
    std::vector<std::size_t> open;
    std::vector<std::string> path;
    XmlNodeType type{};
    while (reader->Read(type)) {
        switch (type) {
        case XmlNodeType::Element:
            if (path.size() >= limits.maxDepth || fields.size() >= limits.maxFields) {
                return std::nullopt;
            }
            path.push_back(reader->NamespaceUri() + " " + reader->LocalName());
            fields.push_back({path, {}});
            if (reader->IsEmptyElement()) {
                path.pop_back();
            } else {
                open.push_back(fields.size() - 1);
            }
            break;
        case XmlNodeType::EndElement:
            if (open.empty()) {
                return std::nullopt;
            }
            open.pop_back();
            path.pop_back();
            break;
        case XmlNodeType::Text:
            if (!open.empty()) {
                std::string& text = fields[open.back()].text;
                text += reader->Value();
                if (text.size() > limits.maxText) {
                    return std::nullopt;
                }
            }
            break;
        case XmlNodeType::Other:
            break;
        }
    }
    if (!reader->Complete() || !open.empty()) {
        return std::nullopt;
    }
    return fields;
}

bool PathEndsWith(const XmlField& field, std::initializer_list<std::string_view> tail) {
    if (tail.size() > field.path.size()) {
        return false;
    }
    auto at = field.path.end() - static_cast<std::ptrdiff_t>(tail.size());
    for (const std::string_view element : tail) {
        if (*at++ != element) {
            return false;
        }
    }
    return true;
}

} // namespace vexor
