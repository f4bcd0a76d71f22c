#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace vexor {

// Bytes written somewhere in order: standard output, standard error, a console
// or memory. Plain bytes rather than a C++ stream, so the Windows program does
// not carry the stream library's locale machinery.
class ITextOutput {
  public:
    virtual ~ITextOutput() = default;
    // Writes every byte of `bytes`; false when not all of them could be written.
    virtual bool write(std::string_view bytes) = 0;
};

// Keeps what is written.
class StringOutput : public ITextOutput {
  public:
    std::string text;

    bool write(std::string_view bytes) override {
        text += bytes;
        return true;
    }
};

// Writes to a C stream and flushes it, so nothing waits in a buffer when the
// program ends.
class StdioOutput : public ITextOutput {
  public:
    explicit StdioOutput(std::FILE* stream) : stream_(stream) {}

    bool write(std::string_view bytes) override {
        const bool whole = std::fwrite(bytes.data(), 1, bytes.size(), stream_) == bytes.size();
        return std::fflush(stream_) == 0 && whole;
    }

  private:
    std::FILE* stream_;
};

} // namespace vexor
