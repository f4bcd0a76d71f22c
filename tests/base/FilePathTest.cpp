#include "seams/FilePath.h"

#include <gtest/gtest.h>

namespace vexor {
namespace {

#ifdef _WIN32
#define NATIVE(text) L##text
#else
#define NATIVE(text) text
#endif

TEST(FilePath, FoldersNamesAndJoins) {
    const struct {
        FilePath::String path;
        FilePath::String parent;
        FilePath::String name;
        FilePath::String joined;
    } cases[] = {
#ifdef _WIN32
        {L"C:\\Ferramentas\\vexormoralto.exe", L"C:\\Ferramentas", L"vexormoralto.exe",
         L"C:\\Ferramentas\\vexormoralto.exe\\IP.txt"},
        {L"C:\\vexormoralto.exe", L"C:\\", L"vexormoralto.exe", L"C:\\vexormoralto.exe\\IP.txt"},
        {L"C:\\", L"C:\\", L"", L"C:\\IP.txt"},
        {L"C:/Dados/x", L"C:/Dados", L"x", L"C:/Dados/x\\IP.txt"},
#endif
        {NATIVE("/usr/bin/vexormoralto"), NATIVE("/usr/bin"), NATIVE("vexormoralto"),
         NATIVE("/usr/bin/vexormoralto") + FilePath::String(1, FilePath::kSeparator) +
             NATIVE("IP.txt")},
        {NATIVE("/vexormoralto"), NATIVE("/"), NATIVE("vexormoralto"),
         NATIVE("/vexormoralto") + FilePath::String(1, FilePath::kSeparator) + NATIVE("IP.txt")},
        {NATIVE("/"), NATIVE("/"), NATIVE(""), NATIVE("/IP.txt")},
        {NATIVE("relatorio"), NATIVE(""), NATIVE("relatorio"),
         NATIVE("relatorio") + FilePath::String(1, FilePath::kSeparator) + NATIVE("IP.txt")},
        {NATIVE(""), NATIVE(""), NATIVE(""), NATIVE("IP.txt")},
    };
    for (const auto& c : cases) {
        const FilePath path(c.path);
        EXPECT_EQ(path.parent().native(), c.parent) << path.utf8();
        EXPECT_EQ(path.name().native(), c.name) << path.utf8();
        EXPECT_EQ((path / "IP.txt").native(), c.joined) << path.utf8();
    }
}

TEST(FilePath, Utf8BothWays) {
    const struct {
        std::string utf8;
        FilePath::String native;
        std::string back;
    } cases[] = {
        {"C:\\Usuários\\José\\Documentos", NATIVE("C:\\Usuários\\José\\Documentos"),
         "C:\\Usuários\\José\\Documentos"},
        {"/home/ана/Документы/𝄞", NATIVE("/home/ана/Документы/𝄞"), "/home/ана/Документы/𝄞"},
#ifdef _WIN32
        // Bad UTF-8 and a lone surrogate become U+FFFD one unit at a time.
        {"a\xC3(b\xF0\x9F", L"a\xFFFD(b\xFFFD\xFFFD", "a\xEF\xBF\xBD(b\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xC0\xAF", L"\xFFFD\xFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD"},
#else
        // Linux paths are bytes: nothing is changed.
        {"a\xC3(b", "a\xC3(b", "a\xC3(b"},
#endif
    };
    for (const auto& c : cases) {
        const FilePath path = FilePath::FromUtf8(c.utf8);
        EXPECT_EQ(path.native(), c.native) << c.utf8;
        EXPECT_EQ(path.utf8(), c.back) << c.utf8;
    }
#ifdef _WIN32
    EXPECT_EQ(FilePath(std::wstring(L"x\xD800y")).utf8(), "x\xEF\xBF\xBDy");
    EXPECT_EQ(FilePath(std::wstring(L"\xD834\xDD1E")).utf8(), "𝄞");
#endif
}

} // namespace
} // namespace vexor
