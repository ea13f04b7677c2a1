// Drawing of the phase scope: geometry, the offscreen image and its
// backdrop, the backdrop run list, fade, overlay, the plot modes and
// painting. Used by the control (WuScope.cpp); the pieces are exposed for
// tests and the benchmark.
#pragma once

#include "shellui/WuScope.h"

// Backdrop colours and the trace's resting intensity.
constexpr COLORREF kScopeDarkGrey = 0x464646;
constexpr COLORREF kScopeLightGrey = 0xC8C8C8;
constexpr int kScopeGlowTarget = 220;
// The UI font whose height spaces the tick grid.
constexpr int kScopeTickFont = 110;

// ---- Math sets ----
// The exact set: sqrtf, sinf, cosf, atan2f.
float ScopeExactMagnitude(float x);
float ScopeExactSine(float a);
float ScopeExactCosine(float a);
float ScopeExactAngle(float y, float x);
// The fast set: one Newton step of the reciprocal square root, lookups in a
// 513-entry sine table, and a two-piece arc tangent.
float ScopeFastMagnitude(float x);
float ScopeFastSine(float a);
float ScopeFastCosine(float a);
float ScopeFastAngle(float y, float x);
// The fast set's table index of an angle (nearest integer to a * 256 / pi).
int32_t ScopeTableIndex(float a);
// The sine table: sin(2 pi i / 512), i = 0..512.
const float* ScopeSineTable();
// Sets the instance's math set from SCOPES_FASTMATH.
void ScopeChooseMath(tSCOPEINST* inst);

// ---- Geometry and rebuilds ----
// Widens an empty rectangle: a non-positive width or height becomes 7.
void ScopeWidenRect(RECT* rect);
// Plot rectangle and image size from the bounds and SCOPES_CENTER.
void ScopeGeometry(tSCOPEINST* inst);
// Full rebuild: geometry, the image (re-created when its size changed),
// backdrop and run list. 1 on success, 0 on failure.
BOOL ScopeRebuild(tSCOPEINST* inst);
// Backdrop-only rebuild on the existing image (after a style change).
BOOL ScopeRebuildBackdrop(tSCOPEINST* inst);
// Deletes the image and memory DC and frees the run list.
void ScopeRelease(tSCOPEINST* inst);

// ---- Plotting ----
// Fade (or clear) the image, plot the block, overlay the backdrop with the
// trail flag. Nothing without an image.
void ScopePlot(tSCOPEINST* inst, const tSCOPEPLOT* block);
// Clear the image and overlay the backdrop without trail.
void ScopeReset(tSCOPEINST* inst);
// The two passes of a plot, on their own.
void ScopeFade(tSCOPEINST* inst);
void ScopeOverlay(tSCOPEINST* inst, bool trail);
// An anti-aliased circle into the image (only pixels inside it touched).
void ScopeCircle(tSCOPEINST* inst, double cx, double cy, double r, COLORREF color);

// ---- Painting ----
// The sunken ring and the image at the plot rectangle, after `background`.
void ScopePaint(tSCOPEINST* inst, HDC dc, SCOPEBKGNDPROC background, LPARAM user);
