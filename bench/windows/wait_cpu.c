/*
 * wait-cpu: the CPU a Windows host process spends while the component waits
 * for a printer that never answers.
 *
 *   wait-cpu LIBRARY PORT WINDOW_MS
 *
 * Loads LIBRARY, opens COM port PORT with OpenPort, and calls IsRegExist on a
 * thread of its own; the process's CPU time and the wall time are taken just
 * before that thread starts and again WINDOW_MS later, while the call still
 * waits (GetProcessTimes, GetThreadTimes). Prints one line
 *
 *   wait-cpu: wall W us, process user U us, kernel K us, call thread T us, waiting 1
 *
 * Under wine these times count in clock ticks (10 ms, a whole 1 % of a 1 s
 * window), so a figure is the sum over several runs.
 * and ends the process at once (the call would wait out the silence limit).
 * The platform's layout, the memory manager and the helpers come from the
 * Windows test host, whose main() is renamed here.
 */
#define main addin_host_main
#include "../../tests/windows/host.c"
#undef main

static volatile LONG call_done;
static component* waiting_component;
static const wchar16* waiting_password;

static DWORD WINAPI wait_for_answer(LPVOID unused) {
  (void)unused;
  variant result;
  variant password[1] = {v_text(waiting_password)};
  func(waiting_component, method_no(waiting_component, W("IsRegExist")), &result, password, 1);
  InterlockedExchange(&call_done, 1);
  return 0;
}

static uint64_t filetime_us(FILETIME t) {
  return ((((uint64_t)t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10u;
}

static void process_times(uint64_t* user, uint64_t* kernel) {
  FILETIME created, ended, k, u;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &k, &u);
  *user = filetime_us(u);
  *kernel = filetime_us(k);
}

static uint64_t wall_us(void) {
  LARGE_INTEGER now, freq;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&freq);
  return (uint64_t)(now.QuadPart / (freq.QuadPart / 1000000));
}

int main(int argc, char** argv) {
  mm_table[S_ALLOC_MEMORY] = (void*)mm_alloc;
  mm_table[S_FREE_MEMORY] = (void*)mm_free;
  for (int i = 0; i < D; ++i) mm_table[i] = (void*)placeholder;
  if (argc != 4) {
    fprintf(stderr, "usage: %s LIBRARY PORT WINDOW_MS\n", argv[0]);
    return 2;
  }
  library lib;
  static component c;
  variant result;
  if (!load(argv[1], &lib) || !bring_up(&lib, &c)) {
    fprintf(stderr, "wait-cpu: cannot bring up %s\n", argv[1]);
    return 1;
  }
  waiting_component = &c;
  waiting_password = default_password(&c);
  variant open[2] = {v_i4(atoi(argv[2])), v_i4(9600)};
  if (!func(&c, method_no(&c, W("OpenPort")), &result, open, 2) || result.value.ui1 != 0) {
    fprintf(stderr, "wait-cpu: OpenPort(%s) failed\n", argv[2]);
    return 1;
  }
  uint64_t user0, kernel0, user1, kernel1;
  process_times(&user0, &kernel0);
  uint64_t wall0 = wall_us();
  HANDLE thread = CreateThread(NULL, 0, wait_for_answer, NULL, 0, NULL);
  Sleep((DWORD)atoi(argv[3]));
  process_times(&user1, &kernel1);
  uint64_t wall = wall_us() - wall0;
  FILETIME created, ended, k, u;
  GetThreadTimes(thread, &created, &ended, &k, &u);
  printf("wait-cpu: wall %llu us, process user %llu us, kernel %llu us, call thread %llu us, waiting %d\n",
         (unsigned long long)wall, (unsigned long long)(user1 - user0), (unsigned long long)(kernel1 - kernel0),
         (unsigned long long)(filetime_us(u) + filetime_us(k)), call_done ? 0 : 1);
  fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 0);
  return 0;
}
