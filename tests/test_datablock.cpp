// Byte buffer: growth, string and path assignment, the terminator rule, whole-file
// reads and writes, the float block and the float log.
#include "datablock.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

bool Exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

// The names in a folder, without "." and "..".
std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

// Runs `body` in a child process as an ordinary user: nobody when the tests run as root,
// else the user running them. False when the child could not become that user.
bool AsOrdinaryUser(const std::function<void()>& body) {
    pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        if (geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            uid_t uid = nobody ? nobody->pw_uid : 65534;
            gid_t gid = nobody ? nobody->pw_gid : 65534;
            if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(77);
        }
        body();
        _exit(0);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The user AsOrdinaryUser runs as.
void OrdinaryUser(uid_t* uid, gid_t* gid) {
    const passwd* nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
    *uid = geteuid() != 0 ? geteuid() : nobody ? nobody->pw_uid : 65534;
    *gid = geteuid() != 0 ? getegid() : nobody ? nobody->pw_gid : 65534;
}

ino_t Inode(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

TEST(DataBlockGrowth, FirstAppendReservesThirtyTwo) {
    DataBlock b;
    EXPECT_EQ(b.ptr, nullptr);
    EXPECT_FALSE(b.eof);
    b.Append('x');
    EXPECT_EQ(b.len, 1);
    EXPECT_EQ(b.dim, 32);
    EXPECT_EQ(b.ptr[0], 'x');
}

TEST(DataBlockGrowth, DoublesUntilItFits) {
    DataBlock b;
    unsigned char src[33];
    for (int n = 0; n < 33; n++)
        src[n] = (unsigned char)n;
    b.Append(src, 33);
    EXPECT_EQ(b.dim, 64);
    EXPECT_EQ(b.len, 33);
    EXPECT_EQ(0, memcmp(b.ptr, src, 33));

    DataBlock big;
    unsigned char many[200] = {};
    big.Append(many, 200);
    EXPECT_EQ(big.dim, 256);
}

TEST(DataBlockGrowth, FullBlockAboveFloorDoubles) {
    DataBlock b;
    b.Resize(40);
    ASSERT_EQ(b.dim, 40);
    memset(b.ptr, 'a', 40);
    b.Append('b');
    EXPECT_EQ(b.dim, 80);
    EXPECT_EQ(b.len, 41);
    EXPECT_EQ(b.ptr[39], 'a'); // old bytes kept through the move
    EXPECT_EQ(b.ptr[40], 'b');
}

TEST(DataBlockGrowth, NullSourceReservesWithoutWriting) {
    DataBlock b;
    b.Append((unsigned char*)nullptr, 8);
    EXPECT_EQ(b.len, 8);
    EXPECT_EQ(b.dim, 32);
    EXPECT_NE(b.ptr, nullptr);
}

TEST(DataBlockGrowth, NonPositiveCountChangesNothing) {
    DataBlock b;
    b.Append("abc", -1);
    b.Append((unsigned char*)"zz", 0);
    b.Append((unsigned char*)"zz", -5);
    EXPECT_EQ(b.len, 3);
    EXPECT_EQ(b.dim, 32);
}

// Lengths are ints: an append past the int range is refused before anything is touched.
// The block's fields are set by hand to stand for one that large.
TEST(DataBlockGrowth, AppendPastTheIntRangeIsRefused) {
    unsigned char small[4] = {1, 2, 3, 4};
    DataBlock b;
    b.ptr = small;
    b.len = INT_MAX - 2;
    b.dim = INT_MAX - 2;
    b.Append((unsigned char*)"abcdef", 6);
    b.Append("xyz", -1);
    b.AppendData("i", 5);
    EXPECT_EQ(b.len, INT_MAX - 2);
    EXPECT_EQ(b.dim, INT_MAX - 2);
    EXPECT_EQ(b.ptr, small);
    b.len = INT_MAX;
    b.Append('x');
    b.AppendNull();
    EXPECT_EQ(b.len, INT_MAX);
    EXPECT_EQ(b.ptr, small);
    EXPECT_EQ(small[3], 4);
    // Hand the fake storage back before the destructor frees it.
    b.ptr = nullptr;
    b.len = b.dim = 0;
}

// Doubling past the int range takes the whole range at once, so later appends do not move
// the block again. The 2 GB are reserved, never written.
TEST(DataBlockGrowth, GrowthPastTheIntRangeTakesTheWholeRange) {
    DataBlock b;
    b.Append((unsigned char*)nullptr, (1 << 30) + 1);
    EXPECT_EQ(b.dim, INT_MAX);
    unsigned char* at = b.ptr;
    b.Append((unsigned char*)nullptr, 1000);
    EXPECT_EQ(b.ptr, at);
    EXPECT_EQ(b.len, (1 << 30) + 1001);
}

// Blocks of 2 MB and more are stored apart from small ones; the bytes survive the moves
// into and between them.
TEST(DataBlockGrowth, LargeBlocksKeepTheirBytesThroughGrowth) {
    DataBlock b;
    std::string chunk(100000, 0);
    for (int i = 0; i < 31; i++) {
        for (size_t k = 0; k < chunk.size(); k++)
            chunk[k] = (char)(i * 7 + k * 13);
        b.Append(chunk.data(), (int)chunk.size());
    }
    ASSERT_EQ(b.len, 3100000);
    EXPECT_EQ(b.dim, 4194304);
    for (int i = 0; i < 31; i++)
        for (int k = 0; k < 100000; k += 997)
            ASSERT_EQ(b.ptr[i * 100000 + k], (unsigned char)(i * 7 + k * 13)) << i << " " << k;
}

TEST(DataBlockGrowth, AssignedLongStringGrowsToTwiceItsLength) {
    std::string s(40, 'q');
    DataBlock b(s.c_str());
    EXPECT_EQ(b.len, 40);
    EXPECT_EQ(b.dim, 40);
    b.Append(s.c_str(), 40);
    EXPECT_EQ(b.dim, 80);
    EXPECT_EQ(b.len, 80);
}

TEST(DataBlockGrowth, AppendingABlockToItselfCopiesTheOldBytes) {
    DataBlock b;
    b.Append("0123456789", -1);
    b.Resize(32); // full, so the next append must move the storage
    memcpy(b.ptr, "abcdefghijklmnopqrstuvwxyz012345", 32);
    b.Append(&b);
    ASSERT_EQ(b.len, 64);
    EXPECT_EQ(0, memcmp(b.ptr, b.ptr + 32, 32));
    EXPECT_EQ(0, memcmp(b.ptr + 32, "abcdefghijklmnopqrstuvwxyz012345", 32));
}

TEST(DataBlockGrowth, AppendOtherBlockAndAppendString) {
    DataBlock a("ab");
    DataBlock c;
    c.Append("xyz", 2);
    a.Append(&c);
    EXPECT_EQ(a.len, 4);
    EXPECT_EQ(0, memcmp(a.ptr, "abxy", 4));
    DataBlock empty;
    a.Append(&empty);
    EXPECT_EQ(a.len, 4);
}

TEST(DataBlockResize, ExactAndShrinkKeepsStorage) {
    DataBlock b;
    b.Resize(10);
    EXPECT_EQ(b.dim, 10);
    EXPECT_EQ(b.len, 10);
    b.Resize(4);
    EXPECT_EQ(b.len, 4);
    EXPECT_EQ(b.dim, 10);
}

TEST(DataBlockResize, ResizeDimKeepsLengthAndBytes) {
    DataBlock b("hello");
    b.ResizeDim(100);
    EXPECT_EQ(b.dim, 100);
    EXPECT_EQ(b.len, 5);
    EXPECT_EQ(0, memcmp(b.ptr, "hello", 5));
}

TEST(DataBlockResize, RemoveEndNullsZeroDataDelete) {
    DataBlock b;
    b.Append("ab", -1);
    b.AppendNull();
    b.AppendNull();
    EXPECT_EQ(b.len, 4);
    b.RemoveEndNulls();
    EXPECT_EQ(b.len, 2);
    b.ZeroData();
    EXPECT_EQ(b.ptr[0], 0);
    EXPECT_EQ(b.ptr[1], 0);
    b.RemoveEndNulls();
    EXPECT_EQ(b.len, 0);

    b.eof = true;
    b.Delete();
    EXPECT_EQ(b.ptr, nullptr);
    EXPECT_EQ(b.len, 0);
    EXPECT_EQ(b.dim, 0);
    EXPECT_TRUE(b.eof); // Delete leaves the end flag alone
}

TEST(DataBlockStrings, SetStringStoresTheTerminator) {
    DataBlock b;
    b.SetString("abc");
    EXPECT_EQ(b.len, 4);
    EXPECT_EQ(b.dim, 32);
    EXPECT_EQ(b.ptr[3], 0);
    EXPECT_STREQ(b.CStr(), "abc");
    EXPECT_EQ(b.dim, 32);
}

TEST(DataBlockStrings, AssignHasNoTerminatorUntilCStr) {
    DataBlock b;
    b.Assign("abc");
    EXPECT_EQ(b.len, 3);
    EXPECT_EQ(b.dim, 3);
    char* s = b.CStr();
    EXPECT_EQ(b.dim, 6);
    EXPECT_EQ(b.len, 3);
    EXPECT_EQ(b.ptr[3], 0);
    EXPECT_STREQ(s, "abc");
    // The terminator lies outside the data: an append overwrites it.
    b.Append('d');
    EXPECT_EQ(b.len, 4);
    EXPECT_STREQ(b.CStr(), "abcd");
}

TEST(DataBlockStrings, CStrOnTerminatedDataChangesNothing) {
    DataBlock b;
    b.SetString("xy");
    unsigned char* before = b.ptr;
    int dim = b.dim;
    EXPECT_EQ((unsigned char*)b.CStr(), before);
    EXPECT_EQ(b.dim, dim);
    EXPECT_EQ(b.len, 3);
}

TEST(DataBlockStrings, CStrOfAnEmptyBlockIsAnOwnedEmptyString) {
    DataBlock never;
    const char* s = never.CStr();
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s, "");
    EXPECT_EQ(never.len, 0);
    EXPECT_EQ((unsigned char*)s, never.ptr);

    DataBlock zero("");
    EXPECT_NE(zero.ptr, nullptr); // zero-byte storage is still storage
    EXPECT_EQ(zero.dim, 0);
    EXPECT_STREQ(zero.CStr(), "");
    EXPECT_EQ(zero.len, 0);
    EXPECT_TRUE(zero.IsEqual(""));
    EXPECT_FALSE(zero.IsEqual("a"));
}

TEST(DataBlockStrings, IsEqualIsExact) {
    DataBlock b("Obj");
    EXPECT_TRUE(b.IsEqual("Obj"));
    EXPECT_FALSE(b.IsEqual("obj"));
    EXPECT_FALSE(b.IsEqual("Ob"));
    EXPECT_FALSE(b.IsEqual("Objx"));
}

TEST(DataBlockStrings, AssignFromDirectory) {
    DataBlock b;
    b.AssignFromDirectory("geom/quad.obj");
    ASSERT_EQ(b.len, 6);
    EXPECT_EQ(0, memcmp(b.ptr, "geom/\0", 6));

    DataBlock one;
    one.Append('Z');
    one.AssignFromDirectory("geom/quad.obj");
    ASSERT_EQ(one.len, 7);
    EXPECT_EQ(0, memcmp(one.ptr, "Zgeom/\0", 7));

    DataBlock back;
    back.AssignFromDirectory("a\\b/c\\d.txt");
    EXPECT_STREQ(back.CStr(), "a\\b/c\\");

    DataBlock none;
    none.AssignFromDirectory("quad.obj");
    ASSERT_EQ(none.len, 1);
    EXPECT_EQ(none.ptr[0], 0);
}

TEST(DataBlockStrings, AssignFromFileFormat) {
    DataBlock b("old contents");
    b.AssignFromFileFormat("geom/quad.obj");
    ASSERT_EQ(b.len, 3);
    EXPECT_EQ(0, memcmp(b.ptr, "obj", 3));
    EXPECT_TRUE(b.IsEqual("obj"));

    b.AssignFromFileFormat("my.dir/file");
    EXPECT_TRUE(b.IsEqual("dir/file"));

    b.AssignFromFileFormat("file.");
    EXPECT_EQ(b.len, 0);

    // No '.' at all: an empty block, which matches neither mesh format.
    b.AssignFromFileFormat("geom/quad");
    EXPECT_EQ(b.len, 0);
    EXPECT_FALSE(b.IsEqual("obj"));
    EXPECT_FALSE(b.IsEqual("vlo"));
}

TEST(DataBlockFiles, ReadMissingFileKeepsContents) {
    ScratchDir dir("velk-db");
    DataBlock b("keep");
    b.eof = true;
    EXPECT_FALSE(b.ReadFile(dir.File("does_not_exist").c_str()));
    EXPECT_EQ(b.len, 4);
    EXPECT_TRUE(b.IsEqual("keep"));
    EXPECT_TRUE(b.eof);
}

TEST(DataBlockFiles, ReadDirectoryFailsAndKeepsContents) {
    DataBlock b("keep");
    EXPECT_FALSE(b.ReadFile(::testing::TempDir().c_str()));
    EXPECT_FALSE(b.ReadFile("."));
    EXPECT_TRUE(b.IsEqual("keep"));
    EXPECT_EQ(b.len, 4);
}

// Opening a pipe for reading waits for a writer: it must be refused, not opened.
TEST(DataBlockFiles, ReadPipeFailsAndKeepsContents) {
    ScratchDir dir("velk-db");
    std::string p = dir.File("pipe");
    unlink(p.c_str());
    ASSERT_EQ(mkfifo(p.c_str(), 0600), 0);
    alarm(20); // a regression hangs; the alarm ends it as a failure
    DataBlock b("keep");
    EXPECT_FALSE(b.ReadFile(p.c_str()));
    EXPECT_TRUE(b.IsEqual("keep"));
    alarm(0);
    unlink(p.c_str());
}

TEST(DataBlockFiles, ReadEmptyFile) {
    ScratchDir dir("velk-db");
    std::string p = dir.File("empty");
    Spit(p, "");
    DataBlock b("stuff");
    EXPECT_TRUE(b.ReadFile(p.c_str()));
    EXPECT_EQ(b.len, 0);
    EXPECT_EQ(b.dim, 0);
    EXPECT_NE(b.ptr, nullptr);
    EXPECT_STREQ(b.CStr(), "");
    remove(p.c_str());
}

TEST(DataBlockFiles, ReadIsByteExact) {
    ScratchDir dir("velk-db");
    std::string bytes("a\r\nb\0c\n\r\xff\0\0", 11);
    std::string p = dir.File("bytes");
    Spit(p, bytes);
    DataBlock b;
    b.eof = true;
    ASSERT_TRUE(b.ReadFile(p.c_str()));
    EXPECT_EQ(b.len, 11);
    EXPECT_EQ(b.dim, 11); // exactly the file size, no terminator added
    EXPECT_EQ(0, memcmp(b.ptr, bytes.data(), 11));
    EXPECT_TRUE(b.eof); // ReadFile does not clear the flag
    remove(p.c_str());
}

TEST(DataBlockFiles, WriteLeavesOutOneTrailingZero) {
    ScratchDir dir("velk-db");
    std::string p = dir.File("write");
    DataBlock s;
    s.SetString("abc");
    s.WriteFile(p.c_str());
    EXPECT_EQ(Slurp(p), "abc");

    DataBlock two;
    two.Append("xy", -1);
    two.AppendNull();
    two.AppendNull();
    two.WriteFile(p.c_str());
    EXPECT_EQ(Slurp(p), std::string("xy\0", 3));

    DataBlock raw;
    raw.Append("a\r\n\0b", 5);
    raw.WriteFile(p.c_str());
    EXPECT_EQ(Slurp(p), std::string("a\r\n\0b", 5));

    DataBlock back;
    ASSERT_TRUE(back.ReadFile(p.c_str()));
    EXPECT_EQ(back.len, 5);
    remove(p.c_str());
}

TEST(DataBlockFiles, WriteEmptyBlockTruncatesToEmptyFile) {
    ScratchDir dir("velk-db");
    std::string p = dir.File("trunc");
    Spit(p, "previous");
    DataBlock b;
    b.WriteFile(p.c_str());
    EXPECT_TRUE(Exists(p));
    EXPECT_EQ(Slurp(p), "");

    DataBlock onlyNull;
    onlyNull.AppendNull();
    Spit(p, "previous");
    onlyNull.WriteFile(p.c_str());
    EXPECT_EQ(Slurp(p), "");
    remove(p.c_str());
}

TEST(DataBlockFiles, WriteToUnopenablePathIsSilent) {
    ScratchDir dir("velk-db");
    std::string p = dir.File("no_such_dir") + "/file.txt";
    DataBlock b("data");
    testing::internal::CaptureStdout();
    b.WriteFile(p.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(Exists(p));
    EXPECT_EQ(b.len, 4);
}

// Save data, the launcher's preferences and the like: a pipe of that name is no file to
// write. With a reader waiting it is still refused (nothing arrives); without one, the
// write gives up at once instead of waiting for a reader (the alarm ends a hang). A link
// to a regular file is written through as before.
TEST(DataBlockFiles, WriteToAPipeWritesNothingAndNeverWaits) {
    ScratchDir dir("velk-db");
    std::string pipe = dir.File("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    DataBlock b("data");
    int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    b.WriteFile(pipe.c_str());
    char got[8];
    EXPECT_LE(read(reader, got, sizeof got), 0);
    close(reader);
    alarm(20);
    b.WriteFile(pipe.c_str());
    alarm(0);

    Spit(dir.File("real"), "previous contents");
    ASSERT_EQ(symlink("real", dir.File("link").c_str()), 0);
    b.WriteFile(dir.File("link").c_str());
    EXPECT_EQ(Slurp(dir.File("real")), "data");
}

static volatile sig_atomic_t sizeSignals = 0;
static void CountSizeSignal(int) {
    sizeSignals = sizeSignals + 1;
}

// A full disk, met here as the file size limit: the write fails part-way in a child
// process, which goes on (the writer keeps SIGXFSZ from ending it) and exits normally. The
// old file stays byte for byte with no new file left beside it; a file the write would
// have created is not left either. A handler of the program's own stays and is called.
// The signal is caught, not ignored: a program started afterwards does not ignore it.
TEST(DataBlockFiles, WriteThatFailsPartWayKeepsTheOldFile) {
    ScratchDir dir("velk-db");
    std::string p = dir.File("save");
    std::string old(20000, 'o');
    Spit(p, old);
    DataBlock b;
    b.Append(std::string(24576, 'n').c_str(), 24576);
    for (bool ownHandler : {false, true}) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (ownHandler) signal(SIGXFSZ, CountSizeSignal);
            struct rlimit limit = {8192, 8192};
            setrlimit(RLIMIT_FSIZE, &limit);
            b.WriteFile(p.c_str());
            b.WriteFile(dir.File("fresh").c_str());
            struct sigaction now;
            sigaction(SIGXFSZ, nullptr, &now);
            if (ownHandler ? now.sa_handler != CountSizeSignal || sizeSignals == 0
                           : now.sa_handler == SIG_IGN || now.sa_handler == SIG_DFL)
                _exit(1);
            unsigned long long ignored = ~0ull;
            if (FILE* status = popen("grep SigIgn /proc/self/status", "r")) {
                if (fscanf(status, "SigIgn: %llx", &ignored) != 1) ignored = ~0ull;
                pclose(status);
            }
            _exit(ignored & (1ull << (SIGXFSZ - 1)) ? 2 : 0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << (ownHandler ? "own handler, " : "") << "status " << status;
        std::string now = Slurp(p);
        EXPECT_EQ(now.size(), old.size());
        EXPECT_TRUE(now == old);
        EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"save"});
    }
}

// Out of file descriptors, with none to four left: the target may open while its folder
// or the new file beside it cannot. The write then fails and the old file stays byte for
// byte; written in place, the file size limit would have cut it. A file the write created
// is not left behind cut short either.
TEST(DataBlockFiles, WriteOutOfDescriptorsKeepsTheOldFile) {
    ScratchDir dir("velk-db");
    std::string p = dir.File("save");
    std::string old(5000, 'o');
    Spit(p, old);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit files;
        getrlimit(RLIMIT_NOFILE, &files);
        files.rlim_cur = 64; // quick to fill
        struct rlimit size = {4096, 4096};
        if (setrlimit(RLIMIT_NOFILE, &files) != 0 || setrlimit(RLIMIT_FSIZE, &size) != 0) _exit(2);
        DataBlock b;
        b.Append(std::string(4500, 'n').c_str(), 4500);
        for (int free = 0; free <= 4; free++) {
            std::vector<int> held;
            for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
                held.push_back(fd);
            if (held.size() < 4) _exit(3);
            for (int k = 0; k < free; k++) {
                close(held.back());
                held.pop_back();
            }
            b.WriteFile(p.c_str());
            b.WriteFile(dir.File("fresh").c_str());
            for (int fd : held)
                close(fd);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(Slurp(p).size(), old.size());
    EXPECT_TRUE(Slurp(p) == old);
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"save"});
}

// A file of our own deeper than the system can name in one absolute path (4096 bytes and
// more), reached by a shorter relative one, is still replaced: a write that fails part-way
// keeps its old contents. The tree is removed from the inside, where its paths stay short.
TEST(DataBlockFiles, WriteFailingDeepBelowTheWorkingFolderKeepsTheOldFile) {
    ScratchDir dir("velk-db");
    ASSERT_TRUE(dir.Enter());
    std::string deep;
    for (int i = 0; i < 20; i++) {
        deep += std::string(200, 'd') + "/";
        ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
    }
    const std::string folder = deep, name = "save" + std::string(56, 's');
    deep += name;
    ASSERT_GE(dir.Path().size() + 1 + deep.size(), (size_t)PATH_MAX);
    Spit(deep, "old save");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limit = {8192, 8192};
        setrlimit(RLIMIT_FSIZE, &limit);
        DataBlock b;
        b.Append(std::string(24576, 'n').c_str(), 24576);
        b.WriteFile(deep.c_str());
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(Slurp(deep) == "old save");
    EXPECT_EQ(Names(folder), std::set<std::string>{name});
    EXPECT_EQ(system(("rm -rf " + std::string(200, 'd')).c_str()), 0);
}

// A chain of links is followed to the file at its end, which gets the bytes and keeps its
// mode; the links stay links. A dangling link gets the file it names created.
TEST(DataBlockFiles, WriteThroughLinksReplacesTheFileAtTheEnd) {
    ScratchDir dir("velk-db");
    ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0755), 0);
    Spit(dir.File("sub/real"), "previous contents");
    ASSERT_EQ(chmod(dir.File("sub/real").c_str(), 0640), 0);
    ASSERT_EQ(symlink("real", dir.File("sub/near").c_str()), 0); // relative to its own folder
    ASSERT_EQ(symlink("sub/near", dir.File("far").c_str()), 0);
    ASSERT_EQ(symlink("sub/new", dir.File("dangling").c_str()), 0);
    DataBlock b("data");
    b.WriteFile(dir.File("far").c_str());
    b.WriteFile(dir.File("dangling").c_str());
    EXPECT_EQ(Slurp(dir.File("sub/real")), "data");
    EXPECT_EQ(Slurp(dir.File("sub/new")), "data");
    struct stat st;
    ASSERT_EQ(stat(dir.File("sub/real").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    for (const char* link : {"far", "sub/near", "dangling"}) {
        ASSERT_EQ(lstat(dir.File(link).c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << link;
    }
    EXPECT_EQ(Names(dir.File("sub")), (std::set<std::string>{"near", "new", "real"}));
}

// Where a file may be written but not replaced, it is written in place, as an ordinary
// user would expect: a writable file in a folder that takes no new file (the launcher's
// "prefs.txt" in a read-only run folder), and a file with two hard links, whose names go
// on sharing the new contents. Links are followed as the kernel's open follows them: a
// chain of 40 is written through, one of 41 is not.
TEST(DataBlockFiles, WriteInPlaceWhereTheFolderOrLinksForbidReplacing) {
    ScratchDir dir("velk-db");
    uid_t uid;
    gid_t gid;
    OrdinaryUser(&uid, &gid);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.File("run").c_str(), 0755), 0);
    Spit(dir.File("run/prefs.txt"), "old prefs");
    ASSERT_EQ(mkdir(dir.File("links").c_str(), 0755), 0);
    Spit(dir.File("links/a"), "old");
    ASSERT_EQ(link(dir.File("links/a").c_str(), dir.File("links/b").c_str()), 0);
    Spit(dir.File("links/real"), "old");
    for (int i = 1; i <= 41; i++)
        ASSERT_EQ(symlink(i == 1 ? "real" : ("l" + std::to_string(i - 1)).c_str(),
                          dir.File("links/l" + std::to_string(i)).c_str()),
                  0);
    for (const char* name : {"run", "run/prefs.txt", "links", "links/a", "links/real"})
        ASSERT_EQ(lchown(dir.File(name).c_str(), uid, gid), 0) << name;
    ASSERT_EQ(chmod(dir.File("run").c_str(), 0555), 0);
    DataBlock b("new");
    ASSERT_TRUE(AsOrdinaryUser([&] {
        b.WriteFile(dir.File("run/prefs.txt").c_str());
        b.WriteFile(dir.File("links/a").c_str());
        b.WriteFile(dir.File("links/l41").c_str());
    })) << "could not run as an ordinary user";
    EXPECT_EQ(Slurp(dir.File("links/real")), "old");
    ASSERT_TRUE(AsOrdinaryUser([&] { b.WriteFile(dir.File("links/l40").c_str()); }));
    EXPECT_EQ(Slurp(dir.File("run/prefs.txt")), "new");
    EXPECT_EQ(Names(dir.File("run")), std::set<std::string>{"prefs.txt"});
    EXPECT_EQ(Slurp(dir.File("links/b")), "new");
    EXPECT_EQ(Inode(dir.File("links/a")), Inode(dir.File("links/b")));
    EXPECT_EQ(Slurp(dir.File("links/real")), "new");
    EXPECT_EQ(Names(dir.File("links")).size(), 44u); // a, b, real and the links: nothing new
}

// Another user's world-writable file in a sticky shared folder such as /tmp: the folder
// lets us make a file but not move it over theirs, so it is written in place and stays
// theirs.
TEST(DataBlockFiles, WriteAnotherUsersFileInAStickyFolder) {
    if (geteuid() != 0) GTEST_SKIP() << "making another user's file needs root";
    ScratchDir dir("velk-db");
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.File("shared").c_str(), 0755), 0);
    ASSERT_EQ(chmod(dir.File("shared").c_str(), 01777), 0);
    Spit(dir.File("shared/save"), "old save");
    ASSERT_EQ(chmod(dir.File("shared/save").c_str(), 0666), 0);
    DataBlock b("new save");
    ASSERT_TRUE(AsOrdinaryUser([&] { b.WriteFile(dir.File("shared/save").c_str()); }))
        << "could not run as an ordinary user";
    EXPECT_EQ(Slurp(dir.File("shared/save")), "new save");
    struct stat st;
    ASSERT_EQ(stat(dir.File("shared/save").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(Names(dir.File("shared")), std::set<std::string>{"save"});
}

// A file of our own whose group we are not in: a new file could not be given it, so the
// file is written in place and keeps its group.
TEST(DataBlockFiles, WriteInPlaceWhereTheGroupCannotBeGiven) {
    if (geteuid() != 0) GTEST_SKIP() << "giving a file a group its owner is not in needs root";
    ScratchDir dir("velk-db");
    uid_t uid;
    gid_t gid;
    OrdinaryUser(&uid, &gid);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.File("mine").c_str(), 0755), 0);
    Spit(dir.File("mine/save"), "old save");
    ASSERT_EQ(lchown(dir.File("mine").c_str(), uid, gid), 0);
    ASSERT_EQ(lchown(dir.File("mine/save").c_str(), uid, 0), 0);
    ino_t before = Inode(dir.File("mine/save"));
    DataBlock b("new save");
    ASSERT_TRUE(AsOrdinaryUser([&] { b.WriteFile(dir.File("mine/save").c_str()); }))
        << "could not run as an ordinary user";
    EXPECT_EQ(Slurp(dir.File("mine/save")), "new save");
    struct stat st;
    ASSERT_EQ(stat(dir.File("mine/save").c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, 0u);
    EXPECT_EQ(st.st_ino, before);
    EXPECT_EQ(Names(dir.File("mine")), std::set<std::string>{"save"});
}

TEST(FloatDataBlock, AddAndGet) {
    FloatDataBlock f;
    EXPECT_EQ(f.GetPointer(), nullptr);
    f.AddVal(1.5f);
    f.AddVal(-2.25f);
    EXPECT_EQ(f.ValCount(), 2);
    EXPECT_EQ(f.len, 8);
    EXPECT_EQ(f.dim, 32);
    EXPECT_EQ((unsigned char*)f.GetPointer(), f.ptr);
    EXPECT_EQ(f.GetVal(0), 1.5f);
    EXPECT_EQ(f.GetVal(1), -2.25f);
    EXPECT_EQ(f.GetVal(2), 0.0f);
    EXPECT_EQ(f.GetVal(-1), 0.0f);
    EXPECT_EQ(f.GetPointer()[1], -2.25f);
    // Little-endian IEEE layout of 1.5f: 00 00 C0 3F.
    EXPECT_EQ(f.ptr[2], 0xC0);
    EXPECT_EQ(f.ptr[3], 0x3F);
}

TEST(FloatDataBlock, PointerFollowsGrowthThroughAddVal) {
    FloatDataBlock f;
    for (int n = 0; n < 100; n++)
        f.AddVal((float)n);
    EXPECT_EQ(f.ValCount(), 100);
    EXPECT_EQ((unsigned char*)f.GetPointer(), f.ptr);
    EXPECT_EQ(f.GetVal(99), 99.0f);
    f.Append('x'); // a stray byte does not make another float
    EXPECT_EQ(f.ValCount(), 100);
    EXPECT_EQ(f.NumFloats(), 100);
}

TEST(FloatLog, TwoDumpsShareALine) {
    ScratchDir dir("velk-db"); // the log is written in the working directory
    ASSERT_TRUE(dir.Enter());
    ClearLog();
    EXPECT_EQ(Slurp("VLLOG.txt"), "");
    DataBlock b;
    float vals[2] = {1.5f, 2.0f};
    b.Append((unsigned char*)vals, 8);
    LogBuffFloats(&b, "first");
    b.Append('x'); // 9 bytes: still two whole floats
    LogBuffFloats(&b, "second");
    EXPECT_EQ(Slurp("VLLOG.txt"), "first, Contains 2 floats.\n1.5 2 second, Contains 2 floats.\n1.5 2 ");
    FloatDataBlock g;
    g.AddVal(0.1f);
    g.AddVal(1234567.0f);
    ClearLog();
    LogBuffFloats(&g, "g");
    EXPECT_EQ(Slurp("VLLOG.txt"), "g, Contains 2 floats.\n0.1 1.23457e+06 ");
    ClearLog();
    EXPECT_EQ(Slurp("VLLOG.txt"), "");
    remove("VLLOG.txt");
}
