// The folder a program runs from, for every case both programs meet, the failures included. Each
// case runs in a child process of its own with its own environment, as another user than root
// when the test runs as root (root may write every folder).
#include "startup/ProgramFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kLinked[] = {"Game", "PictureDecoder", "Puzzle", "Gfx"};

// Runs what in a child process as a user other than root; returns its standard output.
std::string RunAsUser(const std::function<std::string()>& what) {
    int out[2];
    EXPECT_EQ(pipe(out), 0);
    pid_t child = fork();
    if (child == 0) {
        close(out[0]);
        if (geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            if (!nobody || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
                _exit(2);
        }
        std::string text = what();
        ssize_t written = write(out[1], text.data(), text.size());
        _exit(written == ssize_t(text.size()) ? 0 : 3);
    }
    close(out[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(n));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return text;
}

// '~' is the user's folder under the home, '@' the test's folder.
std::string Replace(std::string text, const std::string& root) {
    for (size_t at; (at = text.find('~')) != std::string::npos;)
        text.replace(at, 1, "@/home/.local/share/tarvenkol-puzzle");
    for (size_t at; (at = text.find('@')) != std::string::npos;)
        text.replace(at, 1, root);
    return text;
}

void MakeFile(const std::string& path) {
    std::ofstream(path) << "x";
}

// Lays out what a case finds, as "d:folder r:read-only-folder f:file l:link-elsewhere ...".
void Prepare(const std::string& what, const std::string& root) {
    std::istringstream items(Replace(what, root));
    for (std::string item; items >> item;) {
        std::string path = item.substr(2);
        if (item[0] == 'f' || item[0] == 'l')
            fs::create_directories(fs::path(path).parent_path());
        if (item[0] == 'd' || item[0] == 'r')
            fs::create_directories(path);
        if (item[0] == 'r')
            chmod(path.c_str(), 0555);
        if (item[0] == 'f')
            MakeFile(path);
        if (item[0] == 'l')
            fs::create_symlink("/elsewhere", path);
    }
}

struct Case {
    const char* what;
    bool programFolderWritable;
    const char* home;     // '@' is the test's folder; nullptr: unset
    const char* dataHome; // the same
    const char* prepare;  // for Prepare
    const char* path;     // the path taken
    const char* reason;   // nullptr: no problem
};

class CTestFolder {
  public:
    CTestFolder() {
        std::string pattern = (fs::temp_directory_path() / "startup-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
        chmod(m_path.c_str(), 0777);
    }
    ~CTestFolder() {
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(m_path))
            if (entry.is_directory() && !entry.is_symlink())
                chmod(entry.path().c_str(), 0755);
        fs::remove_all(m_path);
    }
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

} // namespace

TEST(ProgramFolder, IsTheProgramsOwnOrTheUsersOrSaysWhyNot) {
    // clang-format off
    const Case cases[] = {
        {"writable program folder", true, "@/home", nullptr, "", "@/installed/Game", nullptr},
        {"home", false, "@/home", nullptr, "", "~/Game", nullptr},
        {"absolute data home", false, "@/home", "@/data", "", "@/data/tarvenkol-puzzle/Game", nullptr},
        {"relative data home", false, "@/home", "data", "", "~/Game", nullptr},
        {"links renewed, other things kept", false, "@/home", nullptr, "l:~/Game f:~/Gfx", "~/Game", nullptr},
        {"missing home", false, "@/locked/nohome", nullptr, "r:@/locked", "@/installed/Game",
         "folder domowy @/locked/nohome nie istnieje"},
        {"home not writable", false, "@/home", nullptr, "r:@/home", "@/installed/Game",
         "brak prawa zapisu w folderze @/home"},
        {"user folder not writable", false, "@/home", nullptr, "r:~", "@/installed/Game",
         "brak prawa zapisu w folderze ~"},
        {"user folder is a file", false, "@/home", nullptr, "f:~", "@/installed/Game", "~ nie jest folderem"},
        {"data home under a file", false, "@/home", "@/file/data", "f:@/file", "@/installed/Game",
         "@/file nie jest folderem"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CTestFolder folder;
        const std::string& root = folder.Path();
        std::string seen = RunAsUser([&] {
            fs::create_directories(root + "/installed");
            MakeFile(root + "/installed/Game");
            if (!c.programFolderWritable)
                chmod((root + "/installed").c_str(), 0555);
            fs::create_directories(root + "/home");
            Prepare(c.prepare, root);
            if (c.home)
                setenv("HOME", Replace(c.home, root).c_str(), 1);
            if (c.dataHome)
                setenv("XDG_DATA_HOME", Replace(c.dataHome, root).c_str(), 1);
            else
                unsetenv("XDG_DATA_HOME");
            chdir(root.c_str());
            startup::ProgramPlace place = startup::ChooseProgramPlace(root + "/installed/Game");
            return place.path + "\n" + place.problem;
        });
        std::string problem;
        if (c.reason) {
            bool absolute = c.dataHome && c.dataHome[0] == '@';
            std::string named = absolute ? c.dataHome + std::string("/tarvenkol-puzzle")
                                         : c.home + std::string("/.local/share/tarvenkol-puzzle");
            problem = Replace("Nie można utworzyć folderu użytkownika " + named + " (" + c.reason +
                                  "). W folderze programu @/installed nie można zapisywać, więc nie da się "
                                  "zapisać ani gry, ani dziennika błędów.",
                              root);
        }
        EXPECT_EQ(seen, Replace(c.path, root) + "\n" + problem);

        // A folder of the user's own holds the links (what was in their way stays); a writable
        // program folder leaves the home untouched.
        std::string taken = Replace(c.path, root);
        std::string made = taken.substr(0, taken.find_last_of('/'));
        if (c.programFolderWritable) {
            EXPECT_FALSE(fs::exists(root + "/home/.local"));
        }
        if (made == root + "/installed")
            continue;
        if (!*c.prepare) {
            EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all);
        }
        for (const char* name : kLinked) {
            std::string link = made + "/" + name;
            if (std::string(name) == "Gfx" && *c.prepare)
                EXPECT_FALSE(fs::is_symlink(link)) << link;
            else
                EXPECT_EQ(fs::read_symlink(link), root + "/installed/" + name) << link;
        }
    }
}

TEST(ProgramFolder, IsTheOneTheProgramWasStartedThrough) {
    CTestFolder folder;
    const std::string& root = folder.Path();
    std::string exe = fs::read_symlink("/proc/self/exe");
    fs::create_directories(root + "/bin");
    fs::create_symlink(exe, root + "/bin/Puzzle");
    MakeFile(root + "/bin/other");
    fs::path previous = fs::current_path();
    fs::current_path(root + "/bin");
    const std::pair<const char*, std::string> cases[] = {
        {"Puzzle", exe}, // found on the search path: the program file itself
        {"./Puzzle", root + "/bin/Puzzle"},
        {"../bin/./Puzzle", root + "/bin/Puzzle"},
        {"./other", exe},
        {"./missing", exe},
    };
    for (const auto& [argv0, path] : cases)
        EXPECT_EQ(startup::StartedProgramPath(argv0), path) << argv0;
    fs::current_path(previous);
}
