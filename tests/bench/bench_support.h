// What the bench programs share: a millisecond clock, starting Torvane.exe in a bench folder and
// waiting for its message loop, closing it, figures over several runs, and reading its alert's
// list from outside. Built on the end-to-end robot.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/robot.h"

constexpr int SPLASH_MS = 1500;         // the splash stands this long before the driver is loaded

// Milliseconds on the high-resolution clock (any origin; only differences count).
double NowMs(void);

// Milliseconds of processor time this process has used, its threads' user and kernel time.
double ProcessorMs(void);

// Fresh bench folder C:\torvane-e2e\bench_<name> with Torvane.exe, the driver and Torvane.ini
// ([Driver] Watch=watch, Journal=journal.txt, or no journal when journal is 0), optionally an empty
// subfolder (subfolder not empty), and the default settings in the registry. Ends a Torvane left
// running by an earlier bench first. 1 on success; *folder receives the Windows path without a
// trailing backslash. Without a journal the driver runs as installed: a journal adds a thread that
// looks at the StatusBlock every 20 ms, which a figure of the front end alone should not carry.
int PrepareBench(const std::string &name, const std::string &watch, const std::string &subfolder,
                 std::string *folder, int journal = 1);

// Starts Torvane.exe in folder and waits until its MainWindow answers a sent WM_NULL: the thread
// fetches messages. *window receives the MainWindow, *elapsedMs the time from just before the
// process was created; *splashMs (when not null) the time until its first window (the splash) was
// seen. 0 (with a line on stderr) when the program ended, showed a message box instead, or did not
// answer within ROBOT_TIMEOUT_MS.
int StartAndReachLoop(const std::string &folder, TorvaneRun *run, HWND *window, double *elapsedMs,
                      double *splashMs = nullptr);

// Time a sent WM_NULL takes to come back, in ms; -1 when it did not within timeoutMs.
double PingMs(HWND window, DWORD timeoutMs);

// Closes Torvane as its Exit menu item would (WM_CLOSE to the MainWindow) and waits for the end.
// 1 when it ended with exit code 0.
int CloseTorvane(const TorvaneRun &run, HWND window);

// Smallest, median and largest of values (all 0 for none).
struct Spread {
    double min;
    double median;
    double max;
};
Spread SpreadOf(std::vector<double> values);

// Lines of lines that start with prefix.
int CountLines(const std::vector<std::string> &lines, const std::string &prefix);

// The files (not folders) directly in folder: their names into names, their bytes summed.
uint64_t ListFiles(const std::string &folder, std::vector<std::string> *names);

// Moves the named files from one folder to another, one by one, as a copy arriving would.
void MoveFiles(const std::vector<std::string> &names, const std::string &from, const std::string &to);

// Takes a leading "--outside" off the arguments: 1 when it was there.
int TakeOutsideArgument(int *argc, char ***argv);

// How long the files took to arrive and be taken: from the first move until taken() counted every
// name (10 minutes at most), the moves' own time, and this process's processor time meanwhile.
struct Arrival {
    double elapsedMs;
    double moveMs;
    double processorMs;
};

// The files arrive in to: moved by this process (under Wine every move is several calls into the
// Wine server, which the measured program then waits behind), or, with outside set, by the bench
// script's mover outside Wine (a rename costs next to nothing there). The script starts it once
// this process has made "<to>.ready"; the mover writes "<first move> <last move>" in microseconds
// since 1970 to "<to>.clock" when done. Timed until taken() counts them all; 0 when the outside
// mover's clock could not be read.
int TimeArrival(const std::vector<std::string> &names, const std::string &from, const std::string &to, int outside,
                size_t (*taken)(void), Arrival *arrival);

// The same for count files that the outside mover brings wherever below to it likes (folders and
// all): timed until taken() counts count.
int TimeOutsideArrival(size_t count, const std::string &to, size_t (*taken)(void), Arrival *arrival);
