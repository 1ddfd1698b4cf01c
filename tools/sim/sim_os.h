// What pellrun-sim needs from the operating system besides the headless platform: paths,
// its private working directory, and the picture and video outputs some builds lack.
#pragma once
#include <cstdio>
#include <string>

// False in builds without PNG pictures and the ffmpeg pipe (the Windows build).
extern const bool simHasPictureOutput;

// The path made absolute against the current directory ("" stays "").
std::string simAbsolutePath(const std::string& path);
// Makes a directory; true when it exists afterwards.
bool simMakeDirectory(const std::string& path);
// A new private working directory with a Data folder that holds the songs and effects
// (the .dat files) of dataDir, by link or by copy; "" when it cannot be made.
std::string simMakeWorkDir(const std::string& dataDir);
bool simEnterDirectory(const std::string& path);
// Removes the working directory and everything in it.
bool simRemoveWorkDir(const std::string& path);

// True when standard error is a terminal (where a progress line may be shown).
bool simStderrIsTerminal();
// Seconds of a steady clock, to see how long the run takes.
double simWallSeconds();

// ffmpeg on the search path, and a pipe into a shell command (a broken pipe is an
// error return, not a signal); the pipe's close returns the command's status.
bool simFfmpegInstalled();
FILE* simOpenPipe(const std::string& command);
int simClosePipe(FILE* pipe);
