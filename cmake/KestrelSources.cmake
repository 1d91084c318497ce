# Libraries and programs of the recorder. Each subsystem adds its sources here.
