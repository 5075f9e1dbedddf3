#!/usr/bin/python3
# GNU Radio's stereo WBFM receiver on a cf32 IQ file: the station at an
# offset from the centre is mixed down and decimated to 240 kHz, then
# wfm_rcv_pll (pilot PLL, stereo decoding, de-emphasis) makes 48 kHz audio
# into null sinks. Prints the seconds the flowgraph ran on its last line.
#
#   gnuradio_wbfm.py FILE RATE OFFSET
import sys
import time

from gnuradio import analog, blocks, filter, gr
from gnuradio.filter import firdes


def main():
    path, rate, offset = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
    mpx_rate = 240_000
    decimation = int(rate // mpx_rate)
    top = gr.top_block()
    source = blocks.file_source(gr.sizeof_gr_complex, path, False)
    taps = firdes.low_pass(1.0, rate, 100_000, 40_000)
    channel = filter.freq_xlating_fir_filter_ccf(decimation, taps, offset, rate)
    receiver = analog.wfm_rcv_pll(demod_rate=rate / decimation, audio_decimation=5,
                                  deemph_tau=50e-6)
    top.connect(source, channel, receiver)
    top.connect((receiver, 0), blocks.null_sink(gr.sizeof_float))
    top.connect((receiver, 1), blocks.null_sink(gr.sizeof_float))
    started = time.monotonic()
    top.run()
    print(f"{time.monotonic() - started:.3f}")


if __name__ == "__main__":
    main()
