#pragma once
// Video capture: frames from a looping video file or from a camera.
//
// Frames are width x height pixels of 4 bytes (B, G, R, unused), row 0 at the
// top, rows packed without padding. A pointer returned by videoGetImage stays
// readable until a newer frame has been returned (or the source is closed),
// so the caller may redraw the last frame while no new one is ready.
// One source at a time; all calls from one thread.

#include "app/video/camera_modes.h"

// Opens the source named by the XML configuration string (camera or file form).
// Returns 0, or -1 with a one-line cause on standard error.
int videoOpen(const char* config);

// Frame size of the open source. Returns 0, or -1 when nothing is open.
int videoInqSize(int* width, int* height);

// Begins delivering frames. Calling it again while running changes nothing;
// after videoCapStop a file plays again from its first frame.
int videoCapStart();

// The next frame when one is due, else null. File playback is paced at the
// file's frame rate (unless pacing is off) and loops forever.
unsigned char* videoGetImage();

// Lets the layer prepare the next frame ahead of time.
int videoCapNext();

// Stops delivering frames; the last returned frame stays readable until close.
int videoCapStop();

// Releases the source and every buffer.
int videoClose();

// With pacing off, file frames are returned as fast as they can be decoded
// (for tests and tools). On by default; may be changed at any time.
void videoSetPacing(bool enabled);

// Device, size and rate for the camera form; an unoffered size or rate gives
// the nearest offered one, with a line on standard error naming the offers.
// An empty device is the first camera there is; "lavfi:GRAPH" opens an FFmpeg
// filter graph as a live test source.
void videoSetCameraRequest(const CameraRequest& request);

// True once playback has ended in an error (device gone, nothing decodable);
// the cause was printed on standard error.
bool videoFailed();
