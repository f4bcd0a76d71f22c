#include "XmlLiteReader.h"

#include "WinText.h"
#include "base/UniqueHandle.h"

#include <objidl.h>
#include <shlwapi.h>
#include <windows.h>
#include <xmllite.h>

namespace vexor::win32 {
namespace {

// Gives back a reference to a COM interface.
template <typename Interface> void Release(Interface* pointer) {
    pointer->Release();
}
template <typename Interface> using ComRef = UniqueHandle<Interface, Release<Interface>>;

class XmlLiteReader : public IXmlReader {
  public:
    explicit XmlLiteReader(std::string_view document) {
        stream_.reset(SHCreateMemStream(reinterpret_cast<const BYTE*>(document.data()),
                                        static_cast<UINT>(document.size())));
        ::IXmlReader* created = nullptr;
        if (stream_ && SUCCEEDED(CreateXmlReader(__uuidof(::IXmlReader),
                                                 reinterpret_cast<void**>(&created), nullptr))) {
            reader_.reset(created);
        }
        if (!reader_ ||
            FAILED(reader_->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
            FAILED(reader_->SetProperty(XmlReaderProperty_XmlResolver, 0)) ||
            FAILED(reader_->SetInput(stream_.get()))) {
            failed_ = true;
        }
    }

    bool Read(XmlNodeType& type) override {
        if (failed_ || ended_) {
            return false;
        }
        ::XmlNodeType native = ::XmlNodeType_None;
        const HRESULT result = reader_->Read(&native);
        if (result != S_OK) {
            // S_FALSE is the end of the document; anything else an error.
            failed_ = result != S_FALSE;
            ended_ = true;
            return false;
        }
        switch (native) {
        case ::XmlNodeType_Element:
            type = XmlNodeType::Element;
            break;
        case ::XmlNodeType_EndElement:
            type = XmlNodeType::EndElement;
            break;
        case ::XmlNodeType_Text:
        case ::XmlNodeType_CDATA:
            type = XmlNodeType::Text;
            break;
        case ::XmlNodeType_DocumentType:
            failed_ = true;
            return false;
        default:
            type = XmlNodeType::Other;
            break;
        }
        return true;
    }
    bool Complete() const override { return !failed_; }
    std::string LocalName() const override { return Get(&::IXmlReader::GetLocalName); }
    std::string NamespaceUri() const override { return Get(&::IXmlReader::GetNamespaceUri); }
    std::string Value() const override { return Get(&::IXmlReader::GetValue); }
    bool IsEmptyElement() const override { return reader_->IsEmptyElement() != FALSE; }

  private:
    std::string Get(HRESULT (STDMETHODCALLTYPE ::IXmlReader::*read)(LPCWSTR*, UINT*)) const {
        LPCWSTR text = nullptr;
        UINT length = 0;
        if (FAILED((reader_.get()->*read)(&text, &length)) || text == nullptr) {
            return {};
        }
        return WideToUtf8(std::wstring_view(text, length));
    }

    ComRef<IStream> stream_;
    ComRef<::IXmlReader> reader_;
    bool failed_ = false;
    bool ended_ = false;
};

} // namespace

std::unique_ptr<IXmlReader> NewXmlLiteReader(std::string_view document) {
    auto reader = std::make_unique<XmlLiteReader>(document);
    return reader;
}

} // namespace vexor::win32
