#include "XmlFields.h"

namespace vexor {

std::optional<std::vector<XmlField>>
ReadXmlFields(const XmlReaderFactory& xml, std::string_view document, const XmlLimits& limits) {
    const auto reader = xml(document);
    if (!reader) {
        return std::nullopt;
    }
    std::vector<XmlField> fields;
    // Indexes into `fields` of the elements still open, innermost last.
    std::vector<std::size_t> open;
    XmlNodeType type{};
    while (reader->Read(type)) {
        switch (type) {
        case XmlNodeType::Element: {
            if (open.size() >= limits.maxDepth || fields.size() >= limits.maxFields) {
                return std::nullopt;
            }
            std::string uri = reader->NamespaceUri();
            const std::string local = reader->LocalName();
            if (uri.size() > limits.maxName || local.size() > limits.maxName) {
                return std::nullopt;
            }
            auto element = std::make_shared<XmlElement>();
            element->name = std::move(uri) + " " + local;
            if (!open.empty()) {
                element->parent = fields[open.back()].element;
            }
            fields.push_back({std::move(element), {}});
            if (!reader->IsEmptyElement()) {
                open.push_back(fields.size() - 1);
            }
            break;
        }
        case XmlNodeType::EndElement:
            if (open.empty()) {
                return std::nullopt;
            }
            open.pop_back();
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
    const XmlElement* at = field.element.get();
    // The tail is matched from its innermost element outwards.
    for (auto name = std::rbegin(tail); name != std::rend(tail); ++name) {
        if (at == nullptr || at->name != *name) {
            return false;
        }
        at = at->parent.get();
    }
    return true;
}

} // namespace vexor
