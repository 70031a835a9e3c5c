// A small IEEE 1149.1 TAP of our own, to step with MORVA over remote_bitbang: the sixteen
// states, an instruction register of IR_LENGTH bits (4 unless told; captures 0...01), IDCODE
// (0...010, selected after Test-Logic-Reset where the TAP has one) and BYPASS (every other
// instruction, all ones among them; after a reset where there is no IDCODE). There is no TRST:
// the TAP starts in Test-Logic-Reset. TDO changes on falling TCK edges and is driven only in
// Shift-IR and Shift-DR; elsewhere it reads 1, as a pulled-up line does.
module tap #(
    parameter [31:0] IDCODE = 32'h3C0F_FEE1,  // version 3, part 0xC0FF, manufacturer 0x770: made up
    parameter HAS_IDCODE = 1,
    parameter IR_LENGTH = 4
) (
    input  wire tck,
    input  wire tms,
    input  wire tdi,
    output wire tdo
);
    localparam [3:0] TLR = 4'h0, RTI = 4'h1, SDS = 4'h2, CDR = 4'h3, SDR = 4'h4, E1D = 4'h5,
                     PDR = 4'h6, E2D = 4'h7, UDR = 4'h8, SIS = 4'h9, CIR = 4'hA, SIR = 4'hB,
                     E1I = 4'hC, PIR = 4'hD, E2I = 4'hE, UIR = 4'hF;
    localparam [IR_LENGTH-1:0] IR_IDCODE = 2;
    localparam [IR_LENGTH-1:0] IR_CAPTURE = 1;
    localparam [IR_LENGTH-1:0] IR_RESET = HAS_IDCODE != 0 ? IR_IDCODE : {IR_LENGTH{1'b1}};

    reg [3:0] state = TLR;
    reg [3:0] next;
    always @* begin
        case (state)
            TLR: next = tms ? TLR : RTI;
            RTI: next = tms ? SDS : RTI;
            SDS: next = tms ? SIS : CDR;
            CDR: next = tms ? E1D : SDR;
            SDR: next = tms ? E1D : SDR;
            E1D: next = tms ? UDR : PDR;
            PDR: next = tms ? E2D : PDR;
            E2D: next = tms ? UDR : SDR;
            UDR: next = tms ? SDS : RTI;
            SIS: next = tms ? TLR : CIR;
            CIR: next = tms ? E1I : SIR;
            SIR: next = tms ? E1I : SIR;
            E1I: next = tms ? UIR : PIR;
            PIR: next = tms ? E2I : PIR;
            E2I: next = tms ? UIR : SIR;
            UIR: next = tms ? SDS : RTI;
        endcase
    end

    reg [IR_LENGTH-1:0] ir = IR_RESET;
    reg [IR_LENGTH-1:0] ir_shift = 0;
    reg [31:0] dr_shift = 32'b0;
    wire idcode = HAS_IDCODE != 0 && ir == IR_IDCODE;

    // Capture and shift on the rising edge, in the state being left.
    always @(posedge tck) begin
        case (state)
            CIR: ir_shift <= IR_CAPTURE;
            SIR: ir_shift <= {tdi, ir_shift[IR_LENGTH-1:1]};
            CDR: dr_shift <= idcode ? IDCODE : 32'b0;
            SDR: dr_shift <= idcode ? {tdi, dr_shift[31:1]} : {31'b0, tdi};
            default: ;
        endcase
        state <= next;
    end

    // Update and TDO on the falling edge, in the state entered.
    reg tdo_q = 1'b1;
    reg tdo_en = 1'b0;
    always @(negedge tck) begin
        if (state == TLR)
            ir <= IR_RESET;
        else if (state == UIR)
            ir <= ir_shift;
        tdo_en <= state == SIR || state == SDR;
        tdo_q <= state == SIR ? ir_shift[0] : dr_shift[0];
    end
    assign tdo = tdo_en ? tdo_q : 1'b1;
endmodule
