# Dimension, Display and Parameters dialogs: target_sources(ombrisk_ui PRIVATE ...).
