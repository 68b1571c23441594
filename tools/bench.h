// trovander-bench: measures a rebuild and searches over a generated tree, side by side with the usual tools.
#pragma once

int runRebuildBench(int argc, char** argv);
int runSearchBench(int argc, char** argv);
int runDeepBench(int argc, char** argv);
int runOpenBench(int argc, char** argv);
