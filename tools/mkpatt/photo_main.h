#pragma once
// rovanta-mkpatt --photo IMAGE... --camera CAMERA.dat OUT.patt

// True when the arguments ask for the photo form.
bool asksForPhotoPattern(int argc, char** argv);
// Runs the photo form; returns the exit status.
int photoPatternMain(int argc, char** argv);
