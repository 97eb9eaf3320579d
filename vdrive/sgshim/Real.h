#pragma once
// The C library's own functions behind the ones the shim interposes, looked up once with
// RTLD_NEXT. Shim code calls these (never the interposed names) for its own work.
#include <dirent.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>

struct statx;

namespace sgshim {

struct TReal {
  int (*open)(const char*, int, ...);
  int (*openat)(int, const char*, int, ...);
  int (*close)(int);
  int (*fcntl)(int, int, ...);
  int (*ioctl)(int, unsigned long, ...);
  int (*stat)(const char*, struct stat*);
  int (*lstat)(const char*, struct stat*);
  int (*fstat)(int, struct stat*);
  int (*fstatat)(int, const char*, struct stat*, int);
  int (*statx)(int, const char*, int, unsigned, struct statx*);
  int (*xstat)(int, const char*, struct stat*);
  int (*lxstat)(int, const char*, struct stat*);
  int (*fxstat)(int, int, struct stat*);
  int (*fxstatat)(int, int, const char*, struct stat*, int);
  int (*access)(const char*, int);
  int (*faccessat)(int, const char*, int, int);
  ssize_t (*read)(int, void*, size_t);
  ssize_t (*pread)(int, void*, size_t, off_t);
  ssize_t (*write)(int, const void*, size_t);
  ssize_t (*pwrite)(int, const void*, size_t, off_t);
  off_t (*lseek)(int, off_t, int);
  ssize_t (*readlink)(const char*, char*, size_t);
  char* (*realpath)(const char*, char*);
  DIR* (*opendir)(const char*);
  struct dirent* (*readdir)(DIR*);
  struct dirent64* (*readdir64)(DIR*);
  int (*closedir)(DIR*);
  FILE* (*fopen)(const char*, const char*);
  FILE* (*fopen64)(const char*, const char*);
  int (*execve)(const char*, char* const[], char* const[]);
  int (*execvpe)(const char*, char* const[], char* const[]);
  int (*fexecve)(int, char* const[], char* const[]);
  int (*posix_spawn)(pid_t*, const char*, const posix_spawn_file_actions_t*,
                     const posix_spawnattr_t*, char* const[], char* const[]);
  int (*posix_spawnp)(pid_t*, const char*, const posix_spawn_file_actions_t*,
                      const posix_spawnattr_t*, char* const[], char* const[]);
};

// Resolved on first use; safe to call from any interposer at any time.
const TReal& Real();

}  // namespace sgshim
