-- The database that ships with the product: where the resource library lives, and the
-- licence key, empty until the product is registered.
CREATE TABLE mrconfig (
  mrrespath TEXT,
  softkey TEXT
);
INSERT INTO mrconfig (mrrespath, softkey) VALUES ('D:\Tarvo\MirelRES', '');

-- The categories of the material tree (a category below another names its parent) and
-- the keywords that the user searches the library by. Both grow as the user works; an
-- upgrade that keeps the earlier information keeps them.
CREATE TABLE mrclass (
  classid INTEGER PRIMARY KEY,
  parentid INTEGER REFERENCES mrclass (classid),
  classname TEXT NOT NULL
);
INSERT INTO mrclass (classid, parentid, classname) VALUES (1, NULL, '模型');
INSERT INTO mrclass (classid, parentid, classname) VALUES (2, NULL, '材质');
INSERT INTO mrclass (classid, parentid, classname) VALUES (3, NULL, '灯光');
INSERT INTO mrclass (classid, parentid, classname) VALUES (4, 1, '家具');
INSERT INTO mrclass (classid, parentid, classname) VALUES (5, 2, '木纹');

CREATE TABLE mrkeyword (
  keywordid INTEGER PRIMARY KEY,
  keyword TEXT NOT NULL UNIQUE
);
INSERT INTO mrkeyword (keywordid, keyword) VALUES (1, '沙发');
INSERT INTO mrkeyword (keywordid, keyword) VALUES (2, '椅子');
INSERT INTO mrkeyword (keywordid, keyword) VALUES (3, '地板');
