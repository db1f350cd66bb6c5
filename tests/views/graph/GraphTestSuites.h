#pragma once

// Each test class of graph_tests runs from main through one of these.
int RunGraphModelTests(int argc, char** argv);
int RunGraphStaticTests(int argc, char** argv);
