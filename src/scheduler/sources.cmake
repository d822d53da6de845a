# Files of this folder, added to the core library (no widgets) or to the windows library.
