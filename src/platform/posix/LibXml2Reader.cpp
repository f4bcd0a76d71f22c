#include "LibXml2Reader.h"

#include <libxml/parser.h>
#include <libxml/xmlreader.h>

#include <mutex>

namespace vexor {
namespace {

struct ReaderDeleter {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};

std::string Text(const xmlChar* text) {
    return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
}

// Errors are the reader's result, not lines on standard error.
void Quiet(void* /*context*/, const char* /*message*/, xmlParserSeverities /*severity*/,
           xmlTextReaderLocatorPtr /*locator*/) {}

class LibXml2Reader : public IXmlReader {
  public:
    explicit LibXml2Reader(std::string_view document)
        // The reader reads from the caller's bytes; the document outlives it.
        : document_(document),
          reader_(xmlReaderForMemory(
              document_.data(), static_cast<int>(document_.size()), nullptr, nullptr,
              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA)) {
        if (reader_) {
            xmlTextReaderSetErrorHandler(reader_.get(), Quiet, nullptr);
        }
    }

    bool Read(XmlNodeType& type) override {
        if (!reader_ || failed_ || xmlTextReaderRead(reader_.get()) != 1) {
            failed_ = failed_ || !reader_ ||
                      xmlTextReaderReadState(reader_.get()) != XML_TEXTREADER_MODE_EOF;
            return false;
        }
        switch (xmlTextReaderNodeType(reader_.get())) {
        case XML_READER_TYPE_ELEMENT:
            type = XmlNodeType::Element;
            break;
        case XML_READER_TYPE_END_ELEMENT:
            type = XmlNodeType::EndElement;
            break;
        case XML_READER_TYPE_TEXT:
        case XML_READER_TYPE_CDATA:
        case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
            type = XmlNodeType::Text;
            break;
        case XML_READER_TYPE_DOCUMENT_TYPE:
        case XML_READER_TYPE_ENTITY_REFERENCE:
            // As XmlLite with DTD processing prohibited: such a document is refused.
            failed_ = true;
            return false;
        default:
            type = XmlNodeType::Other;
            break;
        }
        return true;
    }
    bool Complete() const override { return reader_ && !failed_; }
    std::string LocalName() const override {
        return Text(xmlTextReaderConstLocalName(reader_.get()));
    }
    std::string NamespaceUri() const override {
        return Text(xmlTextReaderConstNamespaceUri(reader_.get()));
    }
    std::string Value() const override { return Text(xmlTextReaderConstValue(reader_.get())); }
    bool IsEmptyElement() const override { return xmlTextReaderIsEmptyElement(reader_.get()) == 1; }

  private:
    std::string_view document_;
    std::unique_ptr<xmlTextReader, ReaderDeleter> reader_;
    bool failed_ = false;
};

} // namespace

std::unique_ptr<IXmlReader> NewLibXml2Reader(std::string_view document) {
    if (document.size() > static_cast<std::size_t>(INT32_MAX)) {
        return nullptr;
    }
    // libxml2 must be initialised once before threads use it; started by two
    // threads at once its globals race.
    static std::once_flag initialised;
    std::call_once(initialised, [] { xmlInitParser(); });
    return std::make_unique<LibXml2Reader>(document);
}

} // namespace vexor
