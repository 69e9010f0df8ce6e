// How a program ends once its work is done.
#pragma once

// Call as main's last step, with everything the program opened already
// closed (windows, files, databases, the serial port: main's objects gone):
// `return FinishProcess(Run(argc, argv));`. Returns the code where the
// normal end is safe (here, every system but Windows).
//
// On Windows the process ends at once with the code, after the C output
// buffers are flushed, skipping the runtime's unload-time teardown: there the
// standard library's last destructor deletes a thread-local key, and the
// threads runtime can wait forever for that key's lock. A program that had
// finished its work would then never exit (a service shop sees a program
// that will not start again: the first one still holds its single-instance
// lock).
int FinishProcess(int code);
