"""The sweep workflow's own Python: descriptions, manifests and chunks, the
gathering of the chunks' summaries and the report."""
