"""Kestrel's code generator: the API table as data, a model of every entry point, and the emitters."""
