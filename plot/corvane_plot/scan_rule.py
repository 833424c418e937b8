# The scan's carrier rule, shared by the carrier count of a locus figure and the help that states it.

# A haplotype carries a window's core when its similarity to it, 1 - d / w, exceeds this.
SIMILARITY_CUTOFF = 0.98
