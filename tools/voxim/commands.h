// commands.h: the subcommands of the voxim tool. Each gets the arguments after its own name
// (argv[0] is the subcommand) and returns the exit status: 0 done, 1 failed (the library's trace
// lines are on standard error), 2 wrong usage. main.cpp lists them in its dispatch table; a new
// subcommand declares its entry point here and adds one row to that table.
#pragma once

// voxim info FILE (info.cpp): the counts and settings of a model, or the colours of a VLT file.
int voximInfo(int argc, char** argv);

// voxim render MODEL -o OUT.bmp [options] (render.cpp): one frame as a 24-bit BMP file.
int voximRender(int argc, char** argv);

// voxim convert IN OUT.vxm (convert.cpp): any model the library reads, written as a VXM file.
int voximConvert(int argc, char** argv);

// Prints "usage: voxim <text>" to standard error and returns 2, for the subcommands' argument
// checks.
int voximUsage(const char* text);
