# corvane-plot's modules, one job each; the script corvane-plot beside them runs them.
