-- The database that ships with the product: where the resource library lives, and the
-- licence key, empty until the product is registered.
CREATE TABLE mrconfig (
  mrrespath TEXT,
  softkey TEXT
);
INSERT INTO mrconfig (mrrespath, softkey) VALUES ('D:\Tarvo\MirelRES', '');
