// The instrument voices.
