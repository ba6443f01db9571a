// A file system that stops answering, for the tests: it shows the folder BACKING at MOUNT
// and holds every open, read or write (those named by HOLD) of a file whose name holds NAME,
// in any letter case (so its temporaries too), the listing of such a folder, or any lookup of
// such a name, until told to let go.
//
//   stallfs BACKING MOUNT NAME SECONDS HOLD...     HOLD: open, read, write, list, stat
//
// It prints "ready" once mounted and "held OP" each time it starts holding a request. Lines
// on its standard input: "free" answers the held requests and holds no more; "hold" holds
// again; each is acknowledged with "now free" or "now holding". At the end of its input (the
// test has gone, however it went), or after SECONDS of holding any one request, it lets go of
// everything, unmounts and ends: no test can be left waiting on it for good.
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

static int backing = -1; // the backing folder, held open
static const char* heldName;
static int holdOps; // a bit for each of opNames
static const char* const opNames[] = {"open", "read", "write", "list", "stat"};
static int holdLimit; // seconds
static int holding = 1;
static int ending;
static pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
static struct fuse* session;
static const char* mountPoint;

// The path relative to the backing folder: "/a/b" is "a/b", "/" is ".".
static const char* rel(const char* path)
{
    return path[1] ? path + 1 : ".";
}

static void hold(const char* path, int op)
{
    const char* base = strrchr(path, '/');
    if (!(holdOps & (1 << op)) || !strcasestr(base ? base + 1 : path, heldName))
        return;
    pthread_mutex_lock(&mutex);
    if (holding && !ending) {
        printf("held %s\n", opNames[op]);
        fflush(stdout);
        struct timespec limit;
        clock_gettime(CLOCK_REALTIME, &limit);
        limit.tv_sec += holdLimit;
        while (holding && !ending && pthread_cond_timedwait(&changed, &mutex, &limit) == 0) {
        }
    }
    pthread_mutex_unlock(&mutex);
}

static int answer(int result)
{
    return result < 0 ? -errno : result;
}

static void* opened(struct fuse_conn_info* conn, struct fuse_config* config)
{
    (void)conn;
    // Every look goes to the backing folder: nothing is cached.
    config->entry_timeout = config->attr_timeout = config->negative_timeout = 0;
    config->direct_io = 1;
    config->use_ino = 1;
    printf("ready\n");
    fflush(stdout);
    return NULL;
}

static int getattr_(const char* path, struct stat* st, struct fuse_file_info* fi)
{
    hold(path, 4);
    return answer(fi ? fstat((int)fi->fh, st) : fstatat(backing, rel(path), st, AT_SYMLINK_NOFOLLOW));
}

static int readdir_(const char* path, void* buf, fuse_fill_dir_t fill, off_t offset,
                    struct fuse_file_info* fi, enum fuse_readdir_flags flags)
{
    (void)offset, (void)fi, (void)flags;
    hold(path, 3);
    const int fd = openat(backing, rel(path), O_RDONLY | O_DIRECTORY);
    DIR* dir = fd < 0 ? NULL : fdopendir(fd);
    if (!dir)
        return -errno;
    for (struct dirent* entry; (entry = readdir(dir));)
        fill(buf, entry->d_name, NULL, 0, 0);
    closedir(dir);
    return 0;
}

static int open_(const char* path, struct fuse_file_info* fi)
{
    hold(path, 0);
    const int fd = openat(backing, rel(path), fi->flags & ~O_NOFOLLOW);
    fi->fh = (uint64_t)fd;
    return fd < 0 ? -errno : 0;
}

static int create_(const char* path, mode_t mode, struct fuse_file_info* fi)
{
    hold(path, 0);
    const int fd = openat(backing, rel(path), fi->flags, mode);
    fi->fh = (uint64_t)fd;
    return fd < 0 ? -errno : 0;
}

static int read_(const char* path, char* buf, size_t size, off_t offset, struct fuse_file_info* fi)
{
    hold(path, 1);
    return answer((int)pread((int)fi->fh, buf, size, offset));
}

static int write_(const char* path, const char* buf, size_t size, off_t offset, struct fuse_file_info* fi)
{
    hold(path, 2);
    return answer((int)pwrite((int)fi->fh, buf, size, offset));
}

static int release_(const char* path, struct fuse_file_info* fi)
{
    (void)path;
    close((int)fi->fh);
    return 0;
}

static int fsync_(const char* path, int data, struct fuse_file_info* fi)
{
    (void)path;
    return answer(data ? fdatasync((int)fi->fh) : fsync((int)fi->fh));
}

static int rename_(const char* from, const char* to, unsigned int flags)
{
    return answer(renameat2(backing, rel(from), backing, rel(to), flags));
}

static int unlink_(const char* path)
{
    return answer(unlinkat(backing, rel(path), 0));
}

static int mkdir_(const char* path, mode_t mode)
{
    return answer(mkdirat(backing, rel(path), mode));
}

static int rmdir_(const char* path)
{
    return answer(unlinkat(backing, rel(path), AT_REMOVEDIR));
}

static int symlink_(const char* target, const char* path)
{
    return answer(symlinkat(target, backing, rel(path)));
}

static int readlink_(const char* path, char* buf, size_t size)
{
    const ssize_t length = readlinkat(backing, rel(path), buf, size - 1);
    if (length < 0)
        return -errno;
    buf[length] = 0;
    return 0;
}

static int chmod_(const char* path, mode_t mode, struct fuse_file_info* fi)
{
    return answer(fi ? fchmod((int)fi->fh, mode) : fchmodat(backing, rel(path), mode, 0));
}

static int chown_(const char* path, uid_t uid, gid_t gid, struct fuse_file_info* fi)
{
    return answer(fi ? fchown((int)fi->fh, uid, gid)
                     : fchownat(backing, rel(path), uid, gid, AT_SYMLINK_NOFOLLOW));
}

static int truncate_(const char* path, off_t size, struct fuse_file_info* fi)
{
    if (fi)
        return answer(ftruncate((int)fi->fh, size));
    const int fd = openat(backing, rel(path), O_WRONLY);
    const int result = fd < 0 ? -1 : ftruncate(fd, size);
    const int error = errno;
    if (fd >= 0)
        close(fd);
    errno = error;
    return answer(result);
}

static int utimens_(const char* path, const struct timespec times[2], struct fuse_file_info* fi)
{
    return answer(fi ? futimens((int)fi->fh, times)
                     : utimensat(backing, rel(path), times, AT_SYMLINK_NOFOLLOW));
}

static int statfs_(const char* path, struct statvfs* st)
{
    (void)path;
    return answer(fstatvfs(backing, st));
}

static void* watchInput(void* unused)
{
    (void)unused;
    char line[64];
    while (fgets(line, sizeof line, stdin)) {
        pthread_mutex_lock(&mutex);
        holding = strncmp(line, "hold", 4) == 0;
        pthread_cond_broadcast(&changed);
        printf(holding ? "now holding\n" : "now free\n");
        fflush(stdout);
        pthread_mutex_unlock(&mutex);
    }
    pthread_mutex_lock(&mutex);
    ending = 1;
    pthread_cond_broadcast(&changed);
    pthread_mutex_unlock(&mutex);
    fuse_exit(session);
    // fuse_exit takes effect at the next request; this one wakes the loop.
    struct stat st;
    stat(mountPoint, &st);
    return NULL;
}

int main(int argc, char** argv)
{
    if (argc < 6) {
        fprintf(stderr, "usage: stallfs BACKING MOUNT NAME SECONDS open|read|write|list|stat...\n");
        return 2;
    }
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    backing = open(argv[1], O_RDONLY | O_DIRECTORY);
    if (backing < 0) {
        perror(argv[1]);
        return 1;
    }
    mountPoint = argv[2];
    heldName = argv[3];
    holdLimit = atoi(argv[4]);
    for (int i = 5; i < argc; ++i)
        for (int op = 0; op < 5; ++op)
            holdOps |= strcmp(argv[i], opNames[op]) == 0 ? 1 << op : 0;
    static const struct fuse_operations operations = {
        .getattr = getattr_,
        .readlink = readlink_,
        .mkdir = mkdir_,
        .unlink = unlink_,
        .rmdir = rmdir_,
        .symlink = symlink_,
        .rename = rename_,
        .chmod = chmod_,
        .chown = chown_,
        .truncate = truncate_,
        .open = open_,
        .read = read_,
        .write = write_,
        .statfs = statfs_,
        .release = release_,
        .fsync = fsync_,
        .readdir = readdir_,
        .init = opened,
        .create = create_,
        .utimens = utimens_,
    };
    char* fuseArgv[] = {argv[0], "-o", "fsname=stallfs,default_permissions", NULL};
    struct fuse_args args = FUSE_ARGS_INIT(3, fuseArgv);
    session = fuse_new(&args, &operations, sizeof operations, NULL);
    if (!session || fuse_mount(session, argv[2]) != 0)
        return 1;
    pthread_t input;
    pthread_create(&input, NULL, watchInput, NULL);
    pthread_detach(input); // it reads until the test has gone, which may come after the end
    const int result = fuse_loop_mt(session, 0);
    fuse_unmount(session);
    fuse_destroy(session);
    return result == 0 ? 0 : 1;
}
