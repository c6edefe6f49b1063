#pragma once
// The window program's start: application object, translations, main window, and a
// folder named on the command line chosen at launch.

int OrdinelloMain(int argc, char** argv);
