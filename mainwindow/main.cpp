#include "mainwindow/appentry.h"

int main(int argc, char** argv) { return RunNalvo(argc, argv); }
