#pragma once

// The five device capabilities the page metrics are derived from, all in printer device units
// (dots per inch for the two resolutions). Implementations answer from a live printer on every
// call, so a change of printer shows up at once.
class IPrinterCaps {
public:
    virtual ~IPrinterCaps() = default;

    // Width of the whole sheet of paper.
    virtual int PhysicalWidth() = 0;
    // Width of the unprintable strip at the left paper edge.
    virtual int PhysicalOffsetX() = 0;
    // Width of the printable area.
    virtual int HorzRes() = 0;
    virtual int LogPixelsX() = 0;
    virtual int LogPixelsY() = 0;
};
