// The inquiries a camera is asked for its lens and its power, and how their
// answers read: plain functions, no port or window. An answer's data is the
// bytes between y0 50 and FF.
//
//   zoom position   8x 09 04 47 FF → y0 50 0p 0q 0r 0s FF (pqrs: 0000 wide … 4000 tele,
//                                    beyond that digital zoom)
//   focus position  8x 09 04 48 FF → y0 50 0p 0q 0r 0s FF (1000 far / infinity … F000 near)
//   power           8x 09 04 00 FF → y0 50 02 FF on, 03 standby
#pragma once

#include <QByteArray>
#include <QString>

namespace ViscaInquiry {

enum class Power { Unknown, On, Standby };

// The ends of the ranges the readouts are drawn against.
constexpr int kZoomWide = 0x0000;
constexpr int kZoomTele = 0x4000; // the optical end; digital zoom goes beyond
constexpr int kFocusFar = 0x1000;
constexpr int kFocusNear = 0xF000;

QByteArray zoomPositionInquiry(int address);
QByteArray focusPositionInquiry(int address);
QByteArray powerInquiry(int address);

// A position answer's four nibbles as 0 … FFFFh; -1 for data that is not
// one (a nibble above 0F, another length).
int positionOf(const QByteArray &data);
// A power answer: 02 on, 03 standby; Unknown for anything else.
Power powerOf(const QByteArray &data);

// How far the zoom is from wide (0) to the optical tele end (100), and the
// focus from far (0, infinity) to the nearest (100); clamped, -1 for -1.
int zoomPercent(int position);
int focusPercent(int position);
// What the readouts beside the rate sliders say: "37 %" ("100 % +" into
// digital zoom), "–" where the position is not known.
QString zoomReadout(int position);
QString focusReadout(int position);

} // namespace ViscaInquiry
