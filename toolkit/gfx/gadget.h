// The gadget service: child controls of toolkit windows under object numbers,
// the gadget list that new gadgets go into, and the posting of gadget events.
//
// Every gadget's control carries its number as its control id (GWLP_ID) and in
// the property "Fx_ID"; its outermost window procedure is GadgetProc, which
// frees the number when the control is destroyed.
#pragma once

#include <cstdint>

#include "platform/win32.h"

constexpr int32_t GADGET_TYPE_IMAGE = 9;

// Posted to the gadget's toolkit window: wParam the gadget number, lParam the
// event type. The event pump turns it into EVENT_GADGET.
constexpr UINT MSG_GADGET_EVENT = 13103;

constexpr int32_t GADGET_EVENT_RIGHT_CLICK = 1;
constexpr int32_t GADGET_EVENT_LEFT_DOUBLE_CLICK = 2;
constexpr int32_t GADGET_EVENT_RIGHT_DOUBLE_CLICK = 3;
constexpr int32_t GADGET_EVENT_DRAG_START = 14002;

struct GadgetRecord;

// Messages that the parent window receives about the control.
using GadgetMessageHandler = LRESULT (*)(GadgetRecord* record, HWND parent, UINT message,
                                         WPARAM wParam, LPARAM lParam);
// Called when the gadget's control is destroyed.
using GadgetReleaseHandler = void (*)(GadgetRecord* record);
using GadgetGetStateOperation = intptr_t (*)(GadgetRecord* record);
using GadgetSetStateOperation = intptr_t (*)(GadgetRecord* record, intptr_t state);

// What one kind of gadget adds to the common handling. Empty slots are null.
struct GadgetType {
  int32_t typeCode;
  int32_t size;  // bytes of this table
  GadgetMessageHandler messageHandler;
  GadgetReleaseHandler releaseHandler;
  GadgetGetStateOperation getState;
  GadgetSetStateOperation setState;
  void* furtherOperations[8];
};

// One slot of the gadget table; the first word marks a live gadget.
struct GadgetRecord {
  HWND window;
  const GadgetType* type;
  intptr_t word;         // kind-specific; the image gadget leaves it zero
  WNDPROC previousProc;  // what GadgetProc passes messages on to
  HANDLE image;          // image gadget: bitmap or icon shown, or 0
  int32_t dragPending;   // image gadget: left button pressed, no drag yet
  LPARAM pressPosition;  // image gadget: packed client point of the press
};

void GadgetLibraryInit();
void GadgetLibraryEnd();

// The slot for a new gadget under `number` (any gadget that held it is
// destroyed first), or null.
GadgetRecord* GadgetSlot(intptr_t number);
GadgetRecord* GadgetLookup(intptr_t number);

// Makes `window` the gadget under `number` with the record from GadgetSlot.
// Returns the record's address for OBJECT_ANY, else the window.
intptr_t GadgetRegister(intptr_t number, GadgetRecord* record, HWND window, const GadgetType* type);

// What the kind's set-state operation returns; 0 when no gadget has the number.
intptr_t GadgetSetState(intptr_t number, intptr_t state);

// Makes `window` the gadget list that new gadgets go into and returns the
// previous one (0 when none). With 0 it only reports the current one.
HWND GadgetListUse(HWND window);
// The window that new gadgets are made in (0 when none).
HWND GadgetListParent();
// The font that new gadgets are given.
HFONT GadgetFont();

// The nearest window from `control` up that is a toolkit window, else the top
// of its parent chain.
HWND WindowFromControl(HWND control);
// Posts MSG_GADGET_EVENT for the gadget `control` to its toolkit window.
void GadgetPostEvent(HWND control, int32_t type);

// Outermost window procedure of every gadget.
LRESULT CALLBACK GadgetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Window procedure of a window that has been a gadget list: releases the
// list's bookkeeping when the window is destroyed.
LRESULT CALLBACK GadgetListSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
