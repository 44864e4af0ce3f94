// Runs a program with system calls refused as an old kernel or a container's seccomp
// profile refuses them: close_range with ENOSYS, or clone, clone3, fork and vfork with
// EAGAIN. Exit code 125 when the filter cannot be set.
//   refuse_syscalls close_range|fork PROGRAM [ARGUMENT...]
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace {

sock_filter Load(unsigned offset) { return BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offset); }
sock_filter Return(unsigned action) { return BPF_STMT(BPF_RET | BPF_K, action); }

// Call numbers are x86-64's: on another architecture the filter allows everything.
std::vector<sock_filter> Filter(const std::vector<long>& calls, int error) {
  std::vector<sock_filter> filter = {
      Load(offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
      Return(SECCOMP_RET_ALLOW), Load(offsetof(seccomp_data, nr))};
  for (long call : calls) {
    filter.push_back(
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(call), 0, 1));
    filter.push_back(
        Return(SECCOMP_RET_ERRNO | (static_cast<unsigned>(error) & 0xFFFF)));
  }
  filter.push_back(Return(SECCOMP_RET_ALLOW));
  return filter;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<sock_filter> filter;
  if (argc >= 3 && argv[1] == std::string("close_range"))
    filter = Filter({SYS_close_range}, ENOSYS);
  else if (argc >= 3 && argv[1] == std::string("fork"))
    filter = Filter({SYS_clone, SYS_clone3, SYS_fork, SYS_vfork}, EAGAIN);
  if (filter.empty()) {
    std::fprintf(stderr,
                 "usage: refuse_syscalls close_range|fork PROGRAM [ARGUMENT...]\n");
    return 125;
  }
  sock_fprog program = {static_cast<unsigned short>(filter.size()), filter.data()};
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
      prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
    std::perror("refuse_syscalls: seccomp");
    return 125;
  }
  execvp(argv[2], argv + 2);
  std::perror("refuse_syscalls: exec");
  return 125;
}
