// paradigms/list.h - the registry of paradigms: one line per paradigm, naming
// the function in its file (paradigms/NAME.cpp) that returns its module.
KORU_PARADIGM(BpParadigm)
KORU_PARADIGM(PnnParadigm)
KORU_PARADIGM(GrnnParadigm)
KORU_PARADIGM(LvqParadigm)
