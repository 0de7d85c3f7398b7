// placeholder being written
