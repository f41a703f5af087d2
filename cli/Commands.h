#pragma once

class Options;

// The two commands; each returns the exit code.
int RunConvert(const Options& options);
int RunInspect(const Options& options);
