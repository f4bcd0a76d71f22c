#include "FormHarness.h"

#include "base/FileReplace.h"
#include "core/main_window/ReportLocation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vexor {
namespace {

using fakes::Domain;
using fakes::FormHarness;
using fakes::Provider;
using fakes::ReadFileBytes;
using fakes::Server;
using fakes::ShownMessage;

std::string Expected(const std::string& name) {
    return ReadFileBytes(std::filesystem::path(VEXOR_TEST_DATA) / name);
}

std::string PathText(const std::filesystem::path& path) {
    const auto text = path.u8string();
    return {text.begin(), text.end()};
}

TEST(Report, GoesBesideTheProgramWhenItCanElseToTheDocumentsFolder) {
    enum class Where { Program, Documents };
    const struct {
        const char* what;
        bool programWritable;
        bool hasDocuments;
        Where where;
    } cases[] = {
        {"a copy in a folder of its own", true, true, Where::Program},
        {"an installed program", false, true, Where::Documents},
        {"a system that names no documents folder", false, false, Where::Program},
    };
    for (const auto& c : cases) {
        FormHarness h;
        h.sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 10}, {192, 0, 2, 11}}};
        h.shell.programDirectoryWritable = c.programWritable;
        if (!c.hasDocuments) {
            h.shell.documents.clear();
        }
        const auto documents = h.shell.directory.parent_path() / "Documentos";
        h.form.Form_Load();
        h.form.btnImprimir_Click();

        const auto chosen = (c.where == Where::Program ? h.shell.directory : documents) / "IP.txt";
        const auto other = (c.where == Where::Program ? documents : h.shell.directory) / "IP.txt";
        EXPECT_EQ(ReadFileBytes(chosen), Expected("before-refresh.txt")) << c.what;
        EXPECT_FALSE(std::filesystem::exists(other)) << c.what;
        ASSERT_FALSE(h.toolkit.messages.empty()) << c.what;
        EXPECT_EQ(h.toolkit.messages[0].text, "Local do Arquivo:\r\n\r\n" + PathText(chosen))
            << c.what;
        EXPECT_EQ(h.shell.editorOpened, std::vector<std::filesystem::path>{chosen}) << c.what;
        EXPECT_EQ(h.shell.writableAsked.front(), h.shell.directory) << c.what;
    }

    // A program in the root of a disk: one separator before the file's name.
    fakes::FakeShell shell;
#ifdef _WIN32
    shell.directory = L"C:\\";
    EXPECT_EQ(ReportPath(shell).native(), L"C:\\IP.txt");
#else
    shell.directory = "/";
    EXPECT_EQ(ReportPath(shell).native(), "/IP.txt");
#endif
}

TEST(Report, WritesTheWindowAsItStands) {
    const struct {
        const char* expectedFile;
        bool refresh;
        void (*setUp)(FormHarness&);
    } cases[] = {
        {"before-refresh.txt", false, [](FormHarness&) {}},
        {"after-refresh.txt", true,
         [](FormHarness& h) {
             h.sockets.hostsByName["ESTACAO01"] = {"estacao01", {{192, 0, 2, 10}}};
             h.sockets.hostsByName["ESTACAO02"] = {"estacao02", {{192, 0, 2, 20}}};
         }},
        {"no-local-addresses.txt", false,
         [](FormHarness& h) { h.sockets.hostsByName["estacao01"].addresses.clear(); }},
        {"empty-name.txt", false, [](FormHarness& h) { h.sockets.localName.reset(); }},
        {"unresolved-line.txt", true,
         [](FormHarness& h) {
             h.sockets.hostsByName["SALA-DE-REUNIÃO"] = {"sala", {{192, 0, 2, 30}}};
         }},
    };
    for (const auto& c : cases) {
        const std::string file = c.expectedFile;
        std::vector<fakes::FakeNode> servers;
        if (file == "after-refresh.txt") {
            servers = {Server("\\\\ESTACAO01"), Server("\\\\ESTACAO02")};
        } else if (file == "unresolved-line.txt") {
            servers = {Server("\\\\IMPRESSORA"), Server("\\\\SALA-DE-REUNIÃO")};
        }
        FormHarness h({Provider("Rede", {Domain("GRUPO", servers)})});
        h.sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 10}, {192, 0, 2, 11}}};
        c.setUp(h);
        h.form.Form_Load();
        if (c.refresh) {
            h.form.btnAtualizar_Click();
        }
        h.toolkit.messages.clear();

        h.form.btnImprimir_Click();
        const auto report = h.shell.directory / "IP.txt";
        EXPECT_EQ(ReadFileBytes(report), Expected(file)) << file;
        EXPECT_EQ(h.toolkit.messages,
                  (std::vector<ShownMessage>{
                      {"Local do Arquivo:\r\n\r\n" + PathText(report), 0x40, "Arquivo de IP"}}))
            << file;
        EXPECT_EQ(h.shell.editorOpened, std::vector<std::filesystem::path>{report}) << file;
        // Nothing but the report is left in the folder.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(h.shell.directory),
                                std::filesystem::directory_iterator()),
                  1)
            << file;
    }
}

TEST(Report, PressingTwiceRewritesTheFileAndOpensTheEditorTwice) {
    FormHarness h;
    h.sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 10}, {192, 0, 2, 11}}};
    h.form.Form_Load();
    h.form.btnImprimir_Click();
    h.form.btnImprimir_Click();
    EXPECT_EQ(ReadFileBytes(h.shell.directory / "IP.txt"), Expected("before-refresh.txt"));
    EXPECT_EQ(h.shell.editorOpened.size(), 2u);
}

TEST(Report, FailedWriteKeepsTheOldReportAndTheProgramRunsOn) {
    FormHarness h;
    h.sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 10}}};
    h.form.Form_Load();
    const auto report = h.shell.directory / "IP.txt";
    // A folder of the report's name makes the write fail, even for root.
    std::filesystem::create_directories(report / "guardado");

    h.form.btnImprimir_Click();
    EXPECT_TRUE(std::filesystem::is_directory(report / "guardado"));
    EXPECT_TRUE(h.shell.editorOpened.empty());
    ASSERT_EQ(h.toolkit.messages.size(), 2u);
    EXPECT_EQ(h.toolkit.messages[0].caption, "Arquivo de IP");
    const ShownMessage& failure = h.toolkit.messages[1];
    EXPECT_EQ(failure.caption, "Vexor Moralto");
    EXPECT_EQ(failure.flags, 0x10u);
    EXPECT_NE(failure.text.find("Não foi possível gravar"), std::string::npos) << failure.text;
    EXPECT_NE(failure.text.find(PathText(report)), std::string::npos) << failure.text;
    EXPECT_FALSE(h.toolkit.ended);
}

TEST(Report, EditorThatCannotStartIsReportedAndTheProgramRunsOn) {
    FormHarness h;
    h.shell.editorResult = {2, "Arquivo não encontrado"};
    h.form.btnImprimir_Click();
    ASSERT_EQ(h.toolkit.messages.size(), 2u);
    EXPECT_EQ(h.toolkit.messages[1].flags, 0x10u);
    EXPECT_NE(h.toolkit.messages[1].text.find("(erro 2)"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(h.shell.directory / "IP.txt"));
}

#ifndef _WIN32
// A FIFO nobody reads at the report's path: the window tells why it could not
// write, at once, and goes on.
TEST(Report, AFifoNobodyReadsIsAFailureNotAHang) {
    FormHarness h;
    ASSERT_EQ(mkfifo((h.shell.directory / "IP.txt").c_str(), 0600), 0);
    h.form.btnImprimir_Click();
    ASSERT_EQ(h.toolkit.messages.size(), 2u);
    EXPECT_EQ(h.toolkit.messages[1].text, "Não foi possível gravar o arquivo de IP:\r\n\r\n" +
                                              PathText(h.shell.directory / "IP.txt") +
                                              "\r\n\r\nNenhum programa está lendo a fila (erro " +
                                              std::to_string(ENXIO) + ").");
    EXPECT_EQ(h.toolkit.messages[1].flags, 0x10u);
    EXPECT_TRUE(h.shell.editorOpened.empty());
    EXPECT_TRUE(std::filesystem::is_fifo(h.shell.directory / "IP.txt"));
}
#endif

TEST(FileReplace, LeftoversNeverBlockAndFailuresLeaveNothingBehind) {
    fakes::FakeShell shell;
    const auto path = shell.directory / "IP.txt";
    // What a crash or another copy of the program may leave behind.
    std::filesystem::create_directory(shell.directory / "IP.txt.tmp");
    ASSERT_TRUE(ReplaceFileContents(path, "novo\r\n").ok());
    EXPECT_EQ(ReadFileBytes(path), "novo\r\n");
#ifndef _WIN32
    // An existing report keeps its permissions.
    std::filesystem::permissions(path, std::filesystem::perms(0640));
    ASSERT_TRUE(ReplaceFileContents(path, "outro\r\n").ok());
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
#endif
    // A name taken by a folder: the reason is in Portuguese, and no temporary
    // file stays beside it.
    const auto taken = shell.directory / "pasta";
    std::filesystem::create_directories(taken / "dentro");
    const ShellResult failed = ReplaceFileContents(taken, "x");
    EXPECT_FALSE(failed.ok());
    EXPECT_TRUE(failed.reason == "Já existe uma pasta com esse nome" ||
                failed.reason == "Permissão negada")
        << failed.reason;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(shell.directory),
                            std::filesystem::directory_iterator()),
              3);
}

#ifndef _WIN32
// What stands at the report's path decides how it is written.
TEST(FileReplace, EachKindOfTargetIsWrittenAsItShouldBe) {
    namespace fs = std::filesystem;
    fakes::FakeShell shell;
    const fs::path dir = shell.directory;
    const auto write = [](const fs::path& p, const char* text) { std::ofstream(p) << text; };
    const auto kind = [](const fs::path& p) {
        const auto status = fs::symlink_status(p);
        return fs::is_symlink(status)        ? "link"
               : fs::is_fifo(status)         ? "fifo"
               : fs::is_directory(status)    ? "dir"
               : fs::is_regular_file(status) ? "file"
                                             : "other";
    };

    // A regular file with set-user-ID: replaced, its permission bits kept
    // without the special ones.
    const fs::path setuid = dir / "setuid.txt";
    write(setuid, "velho");
    fs::permissions(setuid, fs::perms(04755));
    ASSERT_TRUE(ReplaceFileContents(setuid, "novo").ok());
    EXPECT_EQ(ReadFileBytes(setuid), "novo");
    EXPECT_EQ(fs::status(setuid).permissions(), fs::perms(0755));

    // Through a symbolic link (relative, to another folder): the file it names
    // is replaced and the link stays a link.
    fs::create_directory(dir / "real");
    write(dir / "real" / "alvo.txt", "velho");
    fs::create_symlink("real/alvo.txt", dir / "atalho.txt");
    ASSERT_TRUE(ReplaceFileContents(dir / "atalho.txt", "novo").ok());
    EXPECT_STREQ(kind(dir / "atalho.txt"), "link");
    EXPECT_EQ(ReadFileBytes(dir / "real" / "alvo.txt"), "novo");

    // A FIFO is written in place, as a shell's ">" would: it stays a FIFO.
    const fs::path fifo = dir / "fila";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(ReplaceFileContents(fifo, "pela fila").ok());
    char read[32] = {};
    EXPECT_EQ(std::string(read, std::max<ssize_t>(0, ::read(reader, read, sizeof read))),
              "pela fila");
    close(reader);
    EXPECT_STREQ(kind(fifo), "fifo");

    // A device stays the device.
    EXPECT_TRUE(ReplaceFileContents(fs::path("/dev/null"), "nada").ok());
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    // A folder: a clear reason, nothing changed.
    fs::create_directory(dir / "pasta");
    const ShellResult folder = ReplaceFileContents(dir / "pasta", "x");
    EXPECT_EQ(folder.reason, "Já existe uma pasta com esse nome");
    EXPECT_STREQ(kind(dir / "pasta"), "dir");

    // A folder this user cannot write (root can write any).
    if (geteuid() != 0) {
        fs::create_directory(dir / "fechada");
        fs::permissions(dir / "fechada", fs::perms(0555));
        EXPECT_EQ(ReplaceFileContents(dir / "fechada" / "IP.txt", "x").reason, "Permissão negada");
        fs::permissions(dir / "fechada", fs::perms(0755));
    }
    // No temporary file was left anywhere.
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
    }

    // A new file gets the umask's permissions, and the umask is left alone.
    const mode_t mask = umask(027);
    ASSERT_TRUE(ReplaceFileContents(dir / "novo.txt", "x").ok());
    EXPECT_EQ(umask(mask), 027u);
    EXPECT_EQ(fs::status(dir / "novo.txt").permissions(), fs::perms(0640));
}

// Run as root, as the program may be: a link is followed only where the
// kernel's protected_symlinks rule would follow it, whatever the system's
// setting, and a link to nothing is refused.
TEST(FileReplace, LinksAreFollowedOnlyWhereTheKernelWould) {
    namespace fs = std::filesystem;
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root: links of another user";
    }
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const uid_t other = nobody->pw_uid;
    fakes::FakeShell shell;
    const fs::path dir = shell.directory;
    const struct {
        const char* what;
        uid_t folderOwner;
        unsigned folderMode;
        uid_t linkOwner;
        bool followed;
    } cases[] = {
        {"another user's link in a shared sticky folder", 0, 01777, other, false},
        {"own link in a shared sticky folder", 0, 01777, 0, true},
        {"the sticky folder owner's link", other, 01777, other, true},
        {"another user's link in a sticky folder only its owner writes", 0, 01755, other, true},
        {"another user's link in a shared folder that is not sticky", 0, 0777, other, true},
    };
    int n = 0;
    for (const auto& c : cases) {
        const fs::path folder = dir / ("pasta" + std::to_string(n));
        const fs::path victim = dir / ("bashrc" + std::to_string(n++));
        std::ofstream(victim) << "velho";
        fs::create_directory(folder);
        ASSERT_EQ(chown(folder.c_str(), c.folderOwner, 0), 0);
        ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);
        ASSERT_EQ(symlink(victim.c_str(), (folder / "IP.txt").c_str()), 0);
        ASSERT_EQ(lchown((folder / "IP.txt").c_str(), c.linkOwner, 0), 0);

        const ShellResult written = ReplaceFileContents(folder / "IP.txt", "novo");
        EXPECT_EQ(written.ok(), c.followed) << c.what << ": " << written.reason;
        EXPECT_EQ(ReadFileBytes(victim), c.followed ? "novo" : "velho") << c.what;
        EXPECT_TRUE(fs::is_symlink(folder / "IP.txt")) << c.what;
        if (!c.followed) {
            EXPECT_EQ(written.error, EACCES) << c.what;
        }
    }

    // A link to nothing creates nothing, wherever it points.
    fs::create_symlink(dir / "falta.txt", dir / "pendente.txt");
    const ShellResult dangling = ReplaceFileContents(dir / "pendente.txt", "novo");
    EXPECT_FALSE(dangling.ok());
    EXPECT_EQ(dangling.reason, "O atalho aponta para um arquivo que não existe");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "falta.txt")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "pendente.txt")));
}

// A FIFO nobody reads is a failure at once, not a wait without end; /dev/stdout
// on a pipe is written into the pipe, as a shell writes it.
TEST(FileReplace, FifosAndPipesAreWrittenInPlaceWithoutWaiting) {
    namespace fs = std::filesystem;
    fakes::FakeShell shell;
    const fs::path fifo = shell.directory / "fila";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const ShellResult unread = ReplaceFileContents(fifo, "x");
    EXPECT_EQ(unread.error, ENXIO);
    EXPECT_EQ(unread.reason, "Nenhum programa está lendo a fila");
    EXPECT_TRUE(fs::is_fifo(fifo));

    for (const char* path : {"/dev/stdout", "/proc/self/fd/1", "/dev/fd/1"}) {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        std::fflush(stdout);
        const int saved = dup(1);
        dup2(ends[1], 1);
        close(ends[1]);
        const ShellResult written = ReplaceFileContents(fs::path(path), "pelo cano\n");
        dup2(saved, 1);
        close(saved);
        char got[64] = {};
        const ssize_t length = read(ends[0], got, sizeof got);
        close(ends[0]);
        EXPECT_TRUE(written.ok()) << path << ": " << written.reason;
        EXPECT_EQ(std::string(got, length > 0 ? static_cast<std::size_t>(length) : 0),
                  "pelo cano\n")
            << path;
    }
}

// On a full disk the old report stays whole: the new one never got past its
// temporary file. A small tmpfs of its own, in a mount namespace of its own.
TEST(FileReplace, AFullDiskKeepsTheOldFile) {
    namespace fs = std::filesystem;
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root: mounts a small disk";
    }
    fakes::FakeShell shell;
    const fs::path disk = shell.directory / "disco";
    fs::create_directory(disk);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
            _exit(3);
        }
        const fs::path report = disk / "IP.txt";
        std::ofstream(report) << "velho";
        const ShellResult full = ReplaceFileContents(report, std::string(256 * 1024, 'x'));
        const bool kept =
            !full.ok() && full.reason == "Não há espaço livre no disco" &&
            ReadFileBytes(report) == "velho" &&
            std::distance(fs::directory_iterator(disk), fs::directory_iterator()) == 1;
        _exit(kept ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 3) << "no tmpfs could be mounted";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

TEST(FileReplace, ReplacesWholeOrNotAtAll) {
    fakes::FakeShell shell;
    const auto path = shell.directory / "saida.txt";
    ASSERT_TRUE(ReplaceFileContents(path, "primeiro\r\n").ok());
    ASSERT_TRUE(ReplaceFileContents(path, "segundo").ok());
    EXPECT_EQ(ReadFileBytes(path), "segundo");

    const auto missingFolder = shell.directory / "nao-existe" / "saida.txt";
    const ShellResult failed = ReplaceFileContents(missingFolder, "x");
    EXPECT_FALSE(failed.ok());
    EXPECT_NE(failed.error, 0);
    EXPECT_FALSE(failed.reason.empty());
}

} // namespace
} // namespace vexor
