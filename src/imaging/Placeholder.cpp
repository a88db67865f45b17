// replaced by the decoder and writer sources
