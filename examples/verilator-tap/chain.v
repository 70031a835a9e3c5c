// Three of the example's TAPs on one chain, as on a board: TDI into device 1, each TDO into the
// next TDI, device 3's TDO out. Device 1 is the lone example's TAP; device 2 has a 6-bit IR and no
// IDCODE; device 3 a 5-bit IR and an IDCODE of its own (version 5, part 0xA5A5, manufacturer
// 0x5AD). Both IDCODEs are made up, though JEP106 gives their makers' codes to real companies,
// whose names a scan shows.
module chain (
    input  wire tck,
    input  wire tms,
    input  wire tdi,
    output wire tdo
);
    wire tdo1, tdo2;
    tap #(.IDCODE(32'h3C0F_FEE1)) device1 (.tck(tck), .tms(tms), .tdi(tdi), .tdo(tdo1));
    tap #(.HAS_IDCODE(0), .IR_LENGTH(6)) device2 (.tck(tck), .tms(tms), .tdi(tdo1), .tdo(tdo2));
    tap #(.IDCODE(32'h5A5A_5B5B), .IR_LENGTH(5)) device3 (.tck(tck), .tms(tms), .tdi(tdo2), .tdo(tdo));
endmodule
