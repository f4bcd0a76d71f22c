#include "LibXml2Reader.h"

#include "SharedLibrary.h"
#include "base/UniqueHandle.h"

#include <libxml/parser.h>
#include <libxml/xmlreader.h>

namespace vexor {
namespace {

// libxml2, loaded when the first discovery message is read rather than at
// start-up.
class LibXml2 {
  public:
    LibXml2() {
        const bool complete = library_.Bind(initParser, "xmlInitParser") &&
                              library_.Bind(readerForMemory, "xmlReaderForMemory") &&
                              library_.Bind(freeReader, "xmlFreeTextReader") &&
                              library_.Bind(setErrorHandler, "xmlTextReaderSetErrorHandler") &&
                              library_.Bind(read, "xmlTextReaderRead") &&
                              library_.Bind(readState, "xmlTextReaderReadState") &&
                              library_.Bind(nodeType, "xmlTextReaderNodeType") &&
                              library_.Bind(localName, "xmlTextReaderConstLocalName") &&
                              library_.Bind(namespaceUri, "xmlTextReaderConstNamespaceUri") &&
                              library_.Bind(value, "xmlTextReaderConstValue") &&
                              library_.Bind(isEmptyElement, "xmlTextReaderIsEmptyElement");
        // libxml2 must be initialised once before threads use it; started by
        // two threads at once its globals race. The function-local static that
        // holds this object makes it once.
        if (complete) {
            initParser();
        }
        ready_ = complete;
    }
    bool ready() const { return ready_; }

    decltype(&xmlInitParser) initParser = nullptr;
    decltype(&xmlReaderForMemory) readerForMemory = nullptr;
    decltype(&xmlFreeTextReader) freeReader = nullptr;
    decltype(&xmlTextReaderSetErrorHandler) setErrorHandler = nullptr;
    decltype(&xmlTextReaderRead) read = nullptr;
    decltype(&xmlTextReaderReadState) readState = nullptr;
    decltype(&xmlTextReaderNodeType) nodeType = nullptr;
    decltype(&xmlTextReaderConstLocalName) localName = nullptr;
    decltype(&xmlTextReaderConstNamespaceUri) namespaceUri = nullptr;
    decltype(&xmlTextReaderConstValue) value = nullptr;
    decltype(&xmlTextReaderIsEmptyElement) isEmptyElement = nullptr;

  private:
    SharedLibrary library_{"libxml2.so.2"};
    bool ready_ = false;
};

const LibXml2& Xml() {
    static const LibXml2 library;
    return library;
}

void FreeReader(xmlTextReader* reader) {
    Xml().freeReader(reader);
}

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
          reader_(Xml().readerForMemory(
              document_.data(), static_cast<int>(document_.size()), nullptr, nullptr,
              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA)) {
        if (reader_) {
            Xml().setErrorHandler(reader_.get(), Quiet, nullptr);
        }
    }

    bool Read(XmlNodeType& type) override {
        if (!reader_ || failed_ || Xml().read(reader_.get()) != 1) {
            failed_ =
                failed_ || !reader_ || Xml().readState(reader_.get()) != XML_TEXTREADER_MODE_EOF;
            return false;
        }
        switch (Xml().nodeType(reader_.get())) {
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
    std::string LocalName() const override { return Text(Xml().localName(reader_.get())); }
    std::string NamespaceUri() const override { return Text(Xml().namespaceUri(reader_.get())); }
    std::string Value() const override { return Text(Xml().value(reader_.get())); }
    bool IsEmptyElement() const override { return Xml().isEmptyElement(reader_.get()) == 1; }

  private:
    std::string_view document_;
    UniqueHandle<xmlTextReader, FreeReader> reader_;
    bool failed_ = false;
};

} // namespace

std::unique_ptr<IXmlReader> NewLibXml2Reader(std::string_view document) {
    if (document.size() > static_cast<std::size_t>(INT32_MAX) || !Xml().ready()) {
        return nullptr;
    }
    return std::make_unique<LibXml2Reader>(document);
}

} // namespace vexor
